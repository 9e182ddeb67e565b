#pragma once
// What the platform-free code needs of the platform's text services: the single-byte (ANSI)
// code page and its conversions to and from wide text, ANSI case mapping and comparison, and
// the decimal separator of the current number format.
//
// Wide text is UTF-16 in std::u16string on every platform (on Windows a char16_t buffer is
// the WCHAR buffer the system calls take).
//
// The default, used until a platform installs its own, is Windows-1252 with the five bytes
// that code page leaves undefined mapped to the code units of the same value (so every byte
// survives a round trip through wide text), and "." as the decimal separator. The Windows
// build has the system's own services in windows_text_platform() (text_platform_win.h).

#include <string>
#include <string_view>

namespace kvr {

class TextPlatform {
  public:
    virtual ~TextPlatform() = default;

    // Converts single-byte text of the ANSI code page to wide text.
    virtual std::u16string ansi_to_wide(std::string_view text) const = 0;
    // Converts wide text to the ANSI code page; a character the code page lacks becomes "?".
    virtual std::string wide_to_ansi(std::u16string_view text) const = 0;
    // ANSI upper- and lower-casing of every byte, length preserved.
    virtual std::string ansi_upper(std::string_view text) const = 0;
    virtual std::string ansi_lower(std::string_view text) const = 0;
    // Negative, zero or positive as a sorts before, with or after b.
    virtual int ansi_compare(std::string_view a, std::string_view b, bool case_sensitive) const = 0;
    // The decimal separator of the current number format.
    virtual char decimal_separator() const = 0;
};

// The platform-free default described above.
class Windows1252TextPlatform final : public TextPlatform {
  public:
    std::u16string ansi_to_wide(std::string_view text) const override;
    std::string wide_to_ansi(std::u16string_view text) const override;
    std::string ansi_upper(std::string_view text) const override;
    std::string ansi_lower(std::string_view text) const override;
    int ansi_compare(std::string_view a, std::string_view b, bool case_sensitive) const override;
    char decimal_separator() const override { return '.'; }
};

// The text services in force for the whole process.
const TextPlatform& text_platform();

// Puts platform in force for the whole process; nullptr restores the default. The object must
// outlive every use; install it at library start, before any other thread uses text services.
void install_text_platform(const TextPlatform* platform);

} // namespace kvr
