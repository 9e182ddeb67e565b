#include "kvrhost/core/line_reader.h"

#include <streambuf>
#include <string_view>

namespace kvrhost {

namespace {
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
}

std::optional<InputLine> LineReader::next() {
    std::streambuf* source = in_.rdbuf();
    using traits = std::streambuf::traits_type;
    if (!source || traits::eq_int_type(source->sgetc(), traits::eof())) return std::nullopt;

    InputLine line;
    line.number = ++number_;
    line.complete = false;
    for (int c = source->sbumpc(); !traits::eq_int_type(c, traits::eof()); c = source->sbumpc()) {
        if (c == '\n') {
            line.complete = true;
            break;
        }
        if (line.too_long) continue;
        // One byte beyond the limit is kept: it may be the "\r" of "\r\n".
        if (line.text.size() > max_bytes_) {
            line.too_long = true;
            std::string().swap(line.text);
            continue;
        }
        line.text.push_back(traits::to_char_type(c));
    }
    if (line.complete && !line.text.empty() && line.text.back() == '\r') line.text.pop_back();
    if (line.text.size() > max_bytes_) {
        line.too_long = true;
        std::string().swap(line.text);
    }
    if (at_start_ && line.text.starts_with(kByteOrderMark))
        line.text.erase(0, kByteOrderMark.size());
    at_start_ = false;
    return line;
}

} // namespace kvrhost
