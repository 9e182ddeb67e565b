#pragma once
// INI text as bytes: splitting it into sections and entry lines, and formatting sections back.
// No character-set conversion happens anywhere: every byte of a line is kept as it is.
//
// Reading rules: lines end with LF or CR LF; every CR is dropped from its line and a lone CR
// does not end it; a byte 0x1A ends the text; empty lines are skipped; a line that begins with
// "[" and ends with "]" starts a section named by the text between them (not trimmed); every
// other line belongs to the section started last, and lines before the first header are
// dropped. A section whose name equals an earlier one (ASCII case ignored) is dropped whole.
//
// Writing rules: each section with at least one line becomes "[name]", its lines, and one empty
// line; every line ends with CR LF.

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace kvr::ini {

// Size of the buffer through which files are read and written: 1 MiB.
inline constexpr std::size_t kTextBufferSize = 0x100000;

// Receives consecutive pieces of a byte stream.
using ChunkSink = std::function<void(std::string_view chunk)>;

// True for the bytes that trimming removes: codes 0 to 32.
constexpr bool is_blank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

// The text without blanks (codes 0 to 32) at either end; empty when it holds only blanks.
std::string_view trim_blanks(std::string_view text);

// True when a and b are equal once ASCII letters are folded to one case; other bytes must match.
bool ascii_equal_ignore_case(std::string_view a, std::string_view b);

// A copy of text with the ASCII letters A to Z lowered; other bytes unchanged.
std::string ascii_lower(std::string_view text);

// True when the line reads as a section header: first byte "[" and last byte "]".
bool is_section_header(std::string_view line);

// The name of a section header line: the bytes between "[" and "]". Only for header lines.
std::string_view section_header_name(std::string_view header_line);

// One section of a parsed text.
struct IniSection {
    std::string name;
    std::vector<std::string> lines; // entry lines exactly as read, in file order
    bool operator==(const IniSection&) const = default;
};

// Receives what IniTextParser finds, in file order. Duplicate sections never reach it.
class IniTextHandler {
  public:
    virtual ~IniTextHandler() = default;
    virtual void section(std::string_view name) = 0;
    virtual void entry_line(std::string_view line) = 0; // belongs to the last section given
};

// Splits a byte stream that arrives in pieces of any size into sections and lines. The pieces
// may cut a line (or a CR LF pair) anywhere; the result equals that of the whole text at once.
class IniTextParser {
  public:
    explicit IniTextParser(IniTextHandler& handler) : handler_(handler) {}

    // Takes the next piece of the text. Pieces after a 0x1A byte are ignored.
    void feed(std::string_view chunk);

    // Ends the text: a last line without line end is handed on. Call once, after the last feed.
    void finish();

  private:
    void append_without_cr(std::string_view piece);
    void end_line(std::string_view line);
    void end_pending_line();

    IniTextHandler& handler_;
    std::string pending_;                        // start of a line cut by the end of a piece
    std::unordered_set<std::string> seen_names_; // lowered names of the sections kept so far
    bool in_kept_section_ = false;
    bool ended_ = false; // a 0x1A byte was seen
};

// Parses a whole text at once.
std::vector<IniSection> parse_ini_text(std::string_view text);

// Formats sections into a byte stream handed to a sink in pieces of at most buffer_size bytes
// (a single longer line is handed on by itself).
class IniTextWriter {
  public:
    explicit IniTextWriter(ChunkSink sink, std::size_t buffer_size = kTextBufferSize);

    // Appends "[name]", the lines and one empty line, each ending with CR LF; appends nothing
    // when lines is empty.
    void write_section(std::string_view name, std::span<const std::string> lines);

    // Hands on what is still buffered. Call once, after the last section.
    void finish();

  private:
    void append(std::string_view bytes);
    void flush();

    ChunkSink sink_;
    std::size_t buffer_size_;
    std::string buffer_;
};

// Formats whole sections into one text.
std::string format_ini_text(std::span<const IniSection> sections);

} // namespace kvr::ini
