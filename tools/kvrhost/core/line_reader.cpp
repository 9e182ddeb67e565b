#include "kvrhost/core/line_reader.h"

#include <algorithm>
#include <cstring>
#include <streambuf>
#include <string_view>

namespace kvrhost {

namespace {
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
} // namespace

std::size_t StreamSource::read(char* buffer, std::size_t capacity) {
    std::streambuf* source = in_.rdbuf();
    if (!source || capacity == 0) return 0;
    const auto take_buffered = [&](char* into, std::size_t room) -> std::size_t {
        const std::streamsize available = source->in_avail();
        if (available <= 0 || room == 0) return 0;
        return std::size_t(source->sgetn(into, std::min<std::streamsize>(available, room)));
    };
    if (const std::size_t got = take_buffered(buffer, capacity)) return got;
    using traits = std::streambuf::traits_type;
    const auto first = source->sbumpc();
    if (traits::eq_int_type(first, traits::eof())) return 0;
    buffer[0] = traits::to_char_type(first);
    return 1 + take_buffered(buffer + 1, capacity - 1);
}

LineReader::LineReader(std::istream& in, std::size_t max_bytes, std::size_t block_bytes)
    : owned_source_(std::make_unique<StreamSource>(in)), source_(*owned_source_),
      max_bytes_(max_bytes), block_(std::max<std::size_t>(block_bytes, 1)) {}

LineReader::LineReader(ByteSource& source, std::size_t max_bytes, std::size_t block_bytes)
    : source_(source), max_bytes_(max_bytes), block_(std::max<std::size_t>(block_bytes, 1)) {}

bool LineReader::fill() {
    if (ended_) return false;
    begin_ = 0;
    end_ = source_.read(block_.data(), block_.size());
    ended_ = end_ == 0;
    return !ended_;
}

void LineReader::append(InputLine& line, const char* bytes, std::size_t count) const {
    if (line.too_long) return;
    // One byte beyond the limit is kept: it may be the "\r" of "\r\n".
    if (line.text.size() + count > max_bytes_ + 1) {
        line.too_long = true;
        std::string().swap(line.text);
        return;
    }
    line.text.append(bytes, count);
}

std::optional<InputLine> LineReader::next() {
    InputLine line;
    if (!next(line)) return std::nullopt;
    return line;
}

bool LineReader::next(InputLine& line) {
    if (begin_ == end_ && !fill()) return false;
    line.number = ++number_;
    line.text.clear();
    line.complete = false;
    line.too_long = false;
    while (begin_ < end_ || fill()) {
        const char* start = block_.data() + begin_;
        const std::size_t available = end_ - begin_;
        const auto* line_end = static_cast<const char*>(std::memchr(start, '\n', available));
        const std::size_t length = line_end ? std::size_t(line_end - start) : available;
        append(line, start, length);
        begin_ += length;
        if (line_end) {
            ++begin_;
            line.complete = true;
            break;
        }
    }
    if (line.complete && !line.text.empty() && line.text.back() == '\r') line.text.pop_back();
    if (line.text.size() > max_bytes_) {
        line.too_long = true;
        std::string().swap(line.text);
    }
    if (at_start_ && line.text.starts_with(kByteOrderMark))
        line.text.erase(0, kByteOrderMark.size());
    at_start_ = false;
    return true;
}

} // namespace kvrhost
