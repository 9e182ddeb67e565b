#pragma once
// Small text helpers shared by the component model and the settings code: ASCII-only case
// handling (names of components and properties), trimming, and numbers as text.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kvr::text {

// Copies of text with only the ASCII letters changed; other bytes stay as they are.
std::string ascii_lower(std::string_view text);
std::string ascii_upper(std::string_view text);

// True when a and b are equal after ASCII upper-casing.
bool same_text_ascii(std::string_view a, std::string_view b);

// text without its leading and trailing characters of code 32 or less.
std::string_view trim_controls(std::string_view text);

// The integer that text spells, or nothing when it spells none or one outside the type:
// optional leading blanks, an optional sign, then decimal digits, or "$" or "0x" followed by
// hexadecimal digits, and nothing after them.
std::optional<std::int32_t> parse_int32(std::string_view text);
std::optional<std::int64_t> parse_int64(std::string_view text);

// The number that text spells, or nothing: blanks around it are ignored; the decimal
// separator may be "." or the platform's; an exponent "E" or "e" may follow. Nothing for
// infinity or not-a-number spellings and for values beyond the range of a double.
std::optional<double> parse_float(std::string_view text);

// The number in general format with up to 15 significant digits and the platform's decimal
// separator: fixed notation unless the decimal exponent is below -4 or above 14, otherwise
// "1.5E-5" or "1E20". Infinities and not-a-number give "INF", "-INF" and "NAN".
std::string format_float(double value);

} // namespace kvr::text
