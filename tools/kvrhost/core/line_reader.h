#pragma once
// Reads a byte stream line by line with a bound on the length of a line, so that a source
// without line breaks cannot make the host hold it whole. Works on live sources: a line is
// handed out as soon as its line end has arrived.

#include <cstddef>
#include <istream>
#include <optional>
#include <string>

namespace kvrhost {

// Longest line the host reads as a packet: 8 MiB.
inline constexpr std::size_t kMaxLineBytes = std::size_t(8) << 20;

struct InputLine {
    std::size_t number = 0; // 1 for the first line
    std::string text;       // without "\n" or "\r\n"; empty when too_long
    bool complete = true;   // false when the stream ended before the line's end
    bool too_long = false;  // more than the reader's limit; the rest of it was skipped
};

class LineReader {
  public:
    explicit LineReader(std::istream& in, std::size_t max_bytes = kMaxLineBytes)
        : in_(in), max_bytes_(max_bytes) {}

    // The next line, or nothing at the end of the stream. A UTF-8 byte-order mark at the
    // start of the stream is dropped. A stream that ends right after a line end has no
    // further (empty, incomplete) line.
    std::optional<InputLine> next();

  private:
    std::istream& in_;
    std::size_t max_bytes_;
    std::size_t number_ = 0;
    bool at_start_ = true;
};

} // namespace kvrhost
