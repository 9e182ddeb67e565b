#pragma once
// Numbers as INI entry texts: the conversions behind ReadInteger, ReadFloat and WriteFloat.
// None of them depends on the process locale; the decimal separator is passed in.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kvr::ini {

// Converts an integer text. Accepted: an optional "-" or "+", then either decimal digits, or
// hexadecimal digits (either case) introduced by "$", "x", "X", "0x" or "0X"; a text that starts
// with "0x" or "0X" takes no sign. Decimal values must lie in the signed 32-bit range; a
// hexadecimal value is a 32-bit pattern up to FFFFFFFF ("$FFFFFFFF" is -1, a "-" negates it).
// Returns nothing for any other text, including an empty one or one with trailing characters.
std::optional<std::int32_t> parse_ini_integer(std::string_view text);

// Converts a decimal number text with optional sign, fraction and exponent ("-1.5E-3").
// Both "," and "." are taken as the decimal point, so "1,5" and "1.5" are 1.5 whatever the
// separator: with separator "." every "," becomes "."; with any other separator every "."
// becomes that separator, which is then the only decimal point accepted. At least one mantissa
// digit is required, at most one decimal point; an exponent needs digits. Returns nothing for
// an empty text, any other text, or a value beyond the range of double.
std::optional<double> parse_ini_float(std::string_view text, char decimal_separator);

// Formats a number in general format with up to 15 significant digits: fixed notation for
// decimal exponents from -4 to 14 ("0.0001", "123.5", "100000000000000"), otherwise scientific
// with an upper-case "E", a "-" only for negative exponents and no leading zeros ("1E15",
// "1.5E-7"). The decimal point is the given separator. Non-finite values give "NAN", "INF", "-INF".
std::string format_ini_float(double value, char decimal_separator);

} // namespace kvr::ini
