#include "kvrhost/core/run_report.h"

#include <cstdio>

namespace kvrhost {

namespace {
std::string fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}
} // namespace

std::string line_problem(const std::string& label, std::size_t line, const std::string& reason) {
    return label + ":" + std::to_string(line) + ": " + reason;
}

PacketOutcome packet_from_line(const InputLine& line) {
    PacketOutcome outcome;
    packet_from_line(line, outcome);
    return outcome;
}

void packet_from_line(const InputLine& line, PacketOutcome& outcome) {
    const auto refuse = [&outcome](std::string reason) {
        outcome.packet.reset();
        outcome.error = std::move(reason);
    };
    if (line.too_long)
        return refuse("the line is longer than " + std::to_string(kMaxLineBytes) + " bytes");
    if (is_blank_line(line.text)) return refuse({});
    if (!line.complete) return refuse("the stream ended in the middle of a line");
    parse_packet_line(line.text, outcome);
}

std::string summary_text(const RunCounts& counts, bool clocked) {
    std::string text = "kvrhost: " + std::to_string(counts.packets) + " packets, " +
                       std::to_string(counts.records) + " records, " +
                       std::to_string(counts.skipped) + " skipped, " +
                       std::to_string(counts.failed) + " failed, " + fixed(counts.seconds, 2) +
                       " s";
    if (counts.seconds > 0)
        text += ", " + fixed(double(counts.packets) / counts.seconds, 1) + " packets/s";
    if (counts.unwritten > 0)
        text += ", " + std::to_string(counts.unwritten) + " values without a CSV column";
    if (clocked && counts.unstamped > 0)
        text += ", " + std::to_string(counts.unstamped) + " without a clock value";
    return text;
}

std::string progress_text(const RunCounts& counts) {
    return "kvrhost: " + std::to_string(counts.packets) + " packets, " +
           std::to_string(counts.records) + " records, " + std::to_string(counts.skipped) +
           " skipped";
}

} // namespace kvrhost
