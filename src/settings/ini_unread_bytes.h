#pragma once
// Bytes of an INI file that the INI engine does not read: everything before the first section
// header (a byte-order mark, comments, a file whose lines end in CR alone) and everything from
// an end-of-text byte 0x1A on. The engine drops them when it writes the file back; the
// settings store puts them back, so that saving never destroys what it could not read.

#include "settings/ini_platform.h"

#include <memory>
#include <string>
#include <string_view>

namespace kvr::ini {

struct UnreadBytes {
    std::string before_first_section; // up to the first line the parser takes as a header
    std::string from_end_mark;        // from the first 0x1A byte to the end
    bool operator==(const UnreadBytes&) const = default;
};

// The unread bytes of a whole file, found by the rules of settings/ini_text.h: a header is a
// line (ended by LF, every CR dropped) that begins with "[" and ends with "]".
UnreadBytes FindUnreadBytes(std::string_view text);

// File access for one engine that remembers the unread bytes of the file it read last and
// writes them back around the engine's text: the bytes before the first section first (ended
// by CR LF when they do not end with a line end), the engine's text, then the bytes from the
// end mark on. A file read this way and written back reads as the engine's text again.
class KeepUnreadBytesAccess final : public IniFileAccess {
  public:
    explicit KeepUnreadBytesAccess(std::shared_ptr<const IniFileAccess> files);

    bool file_exists(const std::string& path) const override;
    void read_file(const std::string& path, std::size_t buffer_size,
                   const ChunkSink& consume) const override;
    void replace_file(const std::string& path, const ContentProducer& produce) const override;

    const UnreadBytes& Unread() const { return unread_; }

  private:
    std::shared_ptr<const IniFileAccess> files_;
    mutable UnreadBytes unread_;
};

} // namespace kvr::ini
