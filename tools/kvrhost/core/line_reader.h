#pragma once
// Reads a byte stream line by line with a bound on the length of a line, so that a source
// without line breaks cannot make the host hold it whole. Works on live sources: a line is
// handed out as soon as its line end has arrived. Bytes are taken from the source in large
// blocks.

#include <cstddef>
#include <istream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kvrhost {

// Longest line the host reads as a packet: 8 MiB.
inline constexpr std::size_t kMaxLineBytes = std::size_t(8) << 20;
// Bytes the reader asks its source for at a time.
inline constexpr std::size_t kReadBlockBytes = std::size_t(256) << 10;

struct InputLine {
    std::size_t number = 0; // 1 for the first line
    std::string text;       // without "\n" or "\r\n"; empty when too_long
    bool complete = true;   // false when the stream ended before the line's end
    bool too_long = false;  // more than the reader's limit; the rest of it was skipped
};

// Where the bytes come from.
class ByteSource {
  public:
    virtual ~ByteSource() = default;
    // Copies up to `capacity` bytes into `buffer` and answers how many. Waits until at least
    // one byte is there; answers 0 only at the end of the source.
    virtual std::size_t read(char* buffer, std::size_t capacity) = 0;
};

// The bytes of an input stream: all it holds buffered at once, else one byte as soon as it
// comes (and what arrived with it).
class StreamSource final : public ByteSource {
  public:
    explicit StreamSource(std::istream& in) : in_(in) {}
    std::size_t read(char* buffer, std::size_t capacity) override;

  private:
    std::istream& in_;
};

class LineReader {
  public:
    explicit LineReader(std::istream& in, std::size_t max_bytes = kMaxLineBytes,
                        std::size_t block_bytes = kReadBlockBytes);
    explicit LineReader(ByteSource& source, std::size_t max_bytes = kMaxLineBytes,
                        std::size_t block_bytes = kReadBlockBytes);

    // The next line, or nothing at the end of the stream. A UTF-8 byte-order mark at the
    // start of the stream is dropped. A stream that ends right after a line end has no
    // further (empty, incomplete) line.
    std::optional<InputLine> next();
    // The same into `line`, whose storage is reused; false at the end of the stream.
    bool next(InputLine& line);

  private:
    bool fill();
    void append(InputLine& line, const char* bytes, std::size_t count) const;

    std::unique_ptr<ByteSource> owned_source_;
    ByteSource& source_;
    std::size_t max_bytes_;
    std::vector<char> block_;
    std::size_t begin_ = 0; // unread bytes of block_: [begin_, end_)
    std::size_t end_ = 0;
    bool ended_ = false;
    std::size_t number_ = 0;
    bool at_start_ = true;
};

} // namespace kvrhost
