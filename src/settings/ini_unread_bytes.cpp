#include "settings/ini_unread_bytes.h"

#include "settings/ini_text.h"

namespace kvr::ini {

namespace {

bool reads_as_section_header(std::string_view line) {
    std::string without_cr;
    without_cr.reserve(line.size());
    for (char c : line)
        if (c != '\r') without_cr += c;
    return is_section_header(without_cr);
}

// Where the first header line starts in text (which holds no 0x1A), or text.size().
std::size_t first_header_offset(std::string_view text) {
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t line_feed = text.find('\n', start);
        const std::size_t end = line_feed == std::string_view::npos ? text.size() : line_feed;
        if (reads_as_section_header(text.substr(start, end - start))) return start;
        start = end + 1;
    }
    return text.size();
}

} // namespace

UnreadBytes FindUnreadBytes(std::string_view text) {
    UnreadBytes unread;
    const std::size_t end_mark = text.find('\x1a');
    if (end_mark != std::string_view::npos) {
        unread.from_end_mark = std::string(text.substr(end_mark));
        text = text.substr(0, end_mark);
    }
    unread.before_first_section = std::string(text.substr(0, first_header_offset(text)));
    return unread;
}

KeepUnreadBytesAccess::KeepUnreadBytesAccess(std::shared_ptr<const IniFileAccess> files)
    : files_(std::move(files)) {}

bool KeepUnreadBytesAccess::file_exists(const std::string& path) const {
    return files_->file_exists(path);
}

void KeepUnreadBytesAccess::read_file(const std::string& path, std::size_t buffer_size,
                                      const ChunkSink& consume) const {
    std::string whole;
    files_->read_file(path, buffer_size, [&](std::string_view chunk) {
        whole.append(chunk);
        consume(chunk);
    });
    unread_ = FindUnreadBytes(whole);
}

void KeepUnreadBytesAccess::replace_file(const std::string& path,
                                         const ContentProducer& produce) const {
    files_->replace_file(path, [&](const ChunkSink& sink) {
        const std::string& before = unread_.before_first_section;
        if (!before.empty()) {
            sink(before);
            if (before.back() != '\n') sink("\r\n"); // the engine's first header needs a line
        }
        produce(sink);
        if (!unread_.from_end_mark.empty()) sink(unread_.from_end_mark);
    });
}

} // namespace kvr::ini
