#pragma once
// UTF-8 conversions of the translation area: language files that declare "Encoding=utf-8"
// carry their translations as UTF-8. Everything that depends on the system's ANSI code page
// (conversions, case mapping, comparison) goes through the component's TextPlatform.

#include <string>
#include <string_view>

namespace kvr {

// Decodes UTF-8 into UTF-16. Every byte sequence that is not well-formed UTF-8 (stray
// continuation bytes, overlong forms, surrogates, values above U+10FFFF, a sequence cut off by
// the end of the text) becomes one U+FFFD per maximal ill-formed part; nothing is read beyond
// the end of the text.
std::u16string utf8_to_wide(std::string_view text);

// True when text is well-formed UTF-8 throughout (the empty text is).
bool is_valid_utf8(std::string_view text);

// Encodes UTF-16 as UTF-8; an unpaired surrogate becomes U+FFFD.
std::string wide_to_utf8(std::u16string_view text);

} // namespace kvr
