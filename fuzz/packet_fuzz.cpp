// kvrhost's packet reader on any bytes: the stream is cut into lines by the line reader, read
// from a source that hands the bytes over in pieces of a size the input chooses, and each
// line becomes a packet or a reason for refusal. Checked: the lines are those of a plain
// split of the stream, whatever the pieces; a line parsed into reused storage gives what a
// fresh parse gives; a packet holds only names a parameter list can carry; and a packet
// written back as JSON reads back unchanged.
//
// Input: one byte choosing the piece size, the reader's block size and the line limit, then
// the stream.

#include "fuzz_check.h"

#include "kvrhost/core/line_reader.h"
#include "kvrhost/core/packet.h"
#include "kvrhost/core/run_report.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

using namespace kvrhost;

namespace {

// Hands the bytes over at most `piece` at a time, as a pipe does.
class PieceSource final : public ByteSource {
  public:
    PieceSource(std::string_view bytes, std::size_t piece) : bytes_(bytes), piece_(piece) {}
    std::size_t read(char* buffer, std::size_t capacity) override {
        const std::size_t count = std::min({capacity, piece_, bytes_.size()});
        std::memcpy(buffer, bytes_.data(), count);
        bytes_.remove_prefix(count);
        return count;
    }

  private:
    std::string_view bytes_;
    std::size_t piece_;
};

// The lines of a stream by a plain split at "\n": the reader's promise.
std::vector<InputLine> split_lines(std::string_view stream, std::size_t max_bytes) {
    std::vector<InputLine> lines;
    while (!stream.empty()) {
        const std::size_t end = stream.find('\n');
        InputLine line;
        line.number = lines.size() + 1;
        line.complete = end != std::string_view::npos;
        std::string_view raw = stream.substr(0, line.complete ? end : stream.size());
        stream.remove_prefix(line.complete ? end + 1 : stream.size());
        if (line.complete && raw.ends_with('\r')) raw.remove_suffix(1);
        line.too_long = raw.size() > max_bytes;
        if (!line.too_long) line.text = raw;
        if (lines.empty() && line.text.starts_with("\xEF\xBB\xBF")) line.text.erase(0, 3);
        lines.push_back(std::move(line));
    }
    return lines;
}

bool same_line(const InputLine& a, const InputLine& b) {
    return a.number == b.number && a.text == b.text && a.complete == b.complete &&
           a.too_long == b.too_long;
}

bool same_outcome(const PacketOutcome& a, const PacketOutcome& b) {
    return a.packet == b.packet && a.error == b.error;
}

std::string value_json(const Value& value) {
    if (const auto* flag = std::get_if<bool>(&value)) return nlohmann::json(*flag).dump();
    if (const auto* integer = std::get_if<std::int32_t>(&value))
        return nlohmann::json(*integer).dump();
    if (const auto* number = std::get_if<double>(&value)) return nlohmann::json(*number).dump();
    if (const auto* text = std::get_if<std::string>(&value)) return nlohmann::json(*text).dump();
    return "null";
}

// The packet as one JSON line, repeated names kept.
std::string packet_json(const Packet& packet) {
    std::string text = packet.several_rows ? "[" : "";
    for (std::size_t r = 0; r < packet.rows.size(); ++r) {
        text += r > 0 ? ",{" : "{";
        const Row& row = packet.rows[r];
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (i > 0) text += ",";
            text += nlohmann::json(row[i].name).dump() + ":" + value_json(row[i].value);
        }
        text += "}";
    }
    if (packet.several_rows) text += "]";
    return text;
}

void check_packet(const Packet& packet) {
    KVR_FUZZ_CHECK(packet.several_rows || packet.rows.size() == 1);
    KVR_FUZZ_CHECK(packet.item_count() <= kMaxPacketItems);
    for (const Row& row : packet.rows)
        for (const NamedValue& item : row) {
            KVR_FUZZ_CHECK(!is_blank_line(item.name));
            KVR_FUZZ_CHECK(item.name.find('\0') == std::string::npos);
            KVR_FUZZ_CHECK(item.name != kRowSeparator);
            if (const auto* number = std::get_if<double>(&item.value))
                KVR_FUZZ_CHECK(*number == *number); // JSON has no NaN
        }
    const PacketOutcome again = parse_packet_line(packet_json(packet));
    KVR_FUZZ_CHECK(again.packet && *again.packet == packet);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t piece = std::size_t(data[0] % 16) * 7 + 1;
    const std::size_t max_bytes = 16 + std::size_t(data[0] / 16) * 64;
    const std::size_t block_bytes = std::size_t(data[0] % 5) * 61 + 1;
    const std::string_view stream(reinterpret_cast<const char*>(data + 1), size - 1);

    PieceSource source(stream, piece);
    LineReader reader(source, max_bytes, block_bytes);
    const std::vector<InputLine> expected = split_lines(stream, max_bytes);
    std::size_t index = 0;
    InputLine line;
    PacketOutcome reused;
    while (reader.next(line)) {
        KVR_FUZZ_CHECK(index < expected.size());
        KVR_FUZZ_CHECK(same_line(line, expected[index]));
        ++index;

        packet_from_line(line, reused);
        const PacketOutcome fresh = packet_from_line(line);
        KVR_FUZZ_CHECK(same_outcome(reused, fresh));
        if (fresh.packet) {
            KVR_FUZZ_CHECK(fresh.error.empty());
            check_packet(*fresh.packet);
        } else {
            KVR_FUZZ_CHECK(!fresh.error.empty() || is_blank_line(line.text));
        }
    }
    KVR_FUZZ_CHECK(index == expected.size());
    return 0;
}
