#pragma once
// What the host tells about a run on standard error: problems with single lines, progress
// and the closing summary.

#include "kvrhost/core/line_reader.h"
#include "kvrhost/core/packet.h"

#include <cstddef>
#include <optional>
#include <string>

namespace kvrhost {

struct RunCounts {
    std::size_t packets = 0;   // handed to the module
    std::size_t records = 0;   // written to the output
    std::size_t skipped = 0;   // lines not handed on: bad input
    std::size_t failed = 0;    // packets the module answered with a failure code
    std::size_t unwritten = 0; // record values that had no CSV column
    std::size_t unstamped = 0; // packets sent at once for want of a clock value
    double seconds = 0.0;

    // True when nothing was skipped, refused or left unwritten.
    bool clean() const { return skipped == 0 && failed == 0 && unwritten == 0; }
};

// "LABEL:LINE: reason".
std::string line_problem(const std::string& label, std::size_t line, const std::string& reason);

// Reads one input line as a packet. Nothing, and no error, for a blank line (even one the
// stream cut off); otherwise the packet or the reason it is refused: a line cut off by the end
// of the stream, a line longer than the reader's limit, or anything parse_packet_line refuses.
PacketOutcome packet_from_line(const InputLine& line);
// The same into `outcome`, whose storage is reused.
void packet_from_line(const InputLine& line, PacketOutcome& outcome);

// "kvrhost: 12 packets, 4 records, 1 skipped, 0 failed, 0.53 s, 22.6 packets/s"; the unstamped
// count is added when a clock field was asked for and some packets lacked it.
std::string summary_text(const RunCounts& counts, bool clocked);

// The progress line shown on a terminal: "kvrhost: 1200 packets, 300 records, 0 skipped".
std::string progress_text(const RunCounts& counts);

} // namespace kvrhost
