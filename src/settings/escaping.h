#pragma once
// Escaping of text values on their way into the settings store and back. Escaped text holds
// no control characters and no leading, trailing or doubled blanks that a store could lose:
//
//   EscapeValue: a blank becomes "+" while only blanks precede it or when a blank follows it;
//   bytes 0x00 to 0x1F become "%" and two upper-case hexadecimal digits; "%" becomes "%%" and
//   "+" becomes "%2B"; every other byte stays. So '  a  b ' becomes '++a+ b '.
//
//   UnescapeValue: "%%" gives "%", "%" and two hexadecimal digits (either case) give that
//   byte, "+" gives a blank; every other byte, and a "%" followed by anything else, stays.
//
// UnescapeValue(EscapeValue(t)) == t for every byte string t.

#include <string>
#include <string_view>

namespace kvr {

std::string EscapeValue(std::string_view text);
std::string UnescapeValue(std::string_view text);

} // namespace kvr
