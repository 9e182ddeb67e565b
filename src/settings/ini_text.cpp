#include "settings/ini_text.h"

#include <algorithm>
#include <cstring>

namespace kvr::ini {

namespace {

constexpr char kEndOfText = '\x1a';
constexpr std::string_view kLineEnd = "\r\n";

char ascii_lower_char(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

// Collects parsed sections into a vector, for parse_ini_text.
class SectionCollector : public IniTextHandler {
  public:
    void section(std::string_view name) override { sections.push_back({std::string(name), {}}); }
    void entry_line(std::string_view line) override { sections.back().lines.emplace_back(line); }
    std::vector<IniSection> sections;
};

} // namespace

std::string_view trim_blanks(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && is_blank(text[begin]))
        ++begin;
    while (end > begin && is_blank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

bool ascii_equal_ignore_case(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return ascii_lower_char(x) == ascii_lower_char(y);
           });
}

std::string ascii_lower(std::string_view text) {
    std::string lowered(text);
    for (char& c : lowered)
        c = ascii_lower_char(c);
    return lowered;
}

bool is_section_header(std::string_view line) {
    return line.size() >= 2 && line.front() == '[' && line.back() == ']';
}

std::string_view section_header_name(std::string_view header_line) {
    return header_line.substr(1, header_line.size() - 2);
}

void IniTextParser::feed(std::string_view chunk) {
    if (ended_) return;
    if (const void* stop = std::memchr(chunk.data(), kEndOfText, chunk.size())) {
        chunk = chunk.substr(0, static_cast<const char*>(stop) - chunk.data());
        ended_ = true;
    }
    std::size_t start = 0;
    while (start < chunk.size()) {
        const std::size_t line_end = chunk.find('\n', start);
        if (line_end == std::string_view::npos) {
            append_without_cr(chunk.substr(start));
            break;
        }
        const std::string_view piece = chunk.substr(start, line_end - start);
        // The common case, a whole line inside this chunk without CR, is handed on uncopied.
        if (pending_.empty() && piece.find('\r') == std::string_view::npos) {
            end_line(piece);
        } else {
            append_without_cr(piece);
            end_pending_line();
        }
        start = line_end + 1;
    }
    if (ended_) end_pending_line();
}

void IniTextParser::finish() {
    end_pending_line();
}

void IniTextParser::append_without_cr(std::string_view piece) {
    std::size_t start = 0;
    while (start < piece.size()) {
        const std::size_t cr = piece.find('\r', start);
        const std::size_t stop = cr == std::string_view::npos ? piece.size() : cr;
        pending_.append(piece.substr(start, stop - start));
        start = stop + 1;
    }
}

void IniTextParser::end_pending_line() {
    end_line(pending_);
    pending_.clear();
}

void IniTextParser::end_line(std::string_view line) {
    if (line.empty()) return;
    if (is_section_header(line)) {
        const std::string_view name = section_header_name(line);
        in_kept_section_ = seen_names_.insert(ascii_lower(name)).second;
        if (in_kept_section_) handler_.section(name);
    } else if (in_kept_section_) {
        handler_.entry_line(line);
    }
}

std::vector<IniSection> parse_ini_text(std::string_view text) {
    SectionCollector collector;
    IniTextParser parser(collector);
    parser.feed(text);
    parser.finish();
    return std::move(collector.sections);
}

IniTextWriter::IniTextWriter(ChunkSink sink, std::size_t buffer_size)
    : sink_(std::move(sink)), buffer_size_(std::max<std::size_t>(buffer_size, 1)) {
    // The buffer grows up to buffer_size as text comes: a small file never costs 1 MiB.
    buffer_.reserve(std::min<std::size_t>(buffer_size_, 4096));
}

void IniTextWriter::write_section(std::string_view name, std::span<const std::string> lines) {
    if (lines.empty()) return;
    append("[");
    append(name);
    append("]");
    append(kLineEnd);
    for (const std::string& line : lines) {
        append(line);
        append(kLineEnd);
    }
    append(kLineEnd);
}

void IniTextWriter::finish() {
    flush();
}

void IniTextWriter::append(std::string_view bytes) {
    if (buffer_.size() + bytes.size() > buffer_size_) flush();
    if (bytes.size() > buffer_size_) {
        sink_(bytes);
    } else {
        buffer_.append(bytes);
    }
}

void IniTextWriter::flush() {
    if (buffer_.empty()) return;
    sink_(buffer_);
    buffer_.clear();
}

std::string format_ini_text(std::span<const IniSection> sections) {
    std::string text;
    IniTextWriter writer([&text](std::string_view chunk) { text.append(chunk); });
    for (const IniSection& section : sections)
        writer.write_section(section.name, section.lines);
    writer.finish();
    return text;
}

} // namespace kvr::ini
