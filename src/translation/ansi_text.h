#pragma once
// 8-bit text helpers of the translation area that must behave like the system's ANSI code page.
// The platform-free defaults follow Windows-1252; the Windows build may plug in the rules of
// the running code page through the two interfaces below.

#include <string>
#include <string_view>

namespace kvr {

// Upper-casing of 8-bit text, used by the case-insensitive hash tries. An implementation must
// keep equal_ignoring_case(a, b) true exactly when upper(a) == upper(b) byte for byte: the trie
// hashes the upper-cased key, so equal keys must hash equally.
class TAnsiCaseFolding {
  public:
    virtual ~TAnsiCaseFolding() = default;
    virtual std::string upper(std::string_view text) const = 0;
    virtual bool equal_ignoring_case(std::string_view a, std::string_view b) const;
};

// Conversions between 8-bit text in one code page and UTF-16.
class TAnsiCodePage {
  public:
    virtual ~TAnsiCodePage() = default;
    virtual std::u16string to_wide(std::string_view text) const = 0;
    // Characters the code page cannot hold become "?".
    virtual std::string from_wide(std::u16string_view text) const = 0;
};

// Windows-1252 rules, portable: the defaults on every platform.
const TAnsiCaseFolding& windows1252_case_folding();
const TAnsiCodePage& windows1252_code_page();

// Decodes UTF-8 into UTF-16. Every byte sequence that is not well-formed UTF-8 (stray
// continuation bytes, overlong forms, surrogates, values above U+10FFFF, a sequence cut off by
// the end of the text) becomes one U+FFFD per maximal ill-formed part; nothing is read beyond
// the end of the text.
std::u16string utf8_to_wide(std::string_view text);

// Encodes UTF-16 as UTF-8; an unpaired surrogate becomes U+FFFD.
std::string wide_to_utf8(std::u16string_view text);

// Only the letters A to Z lower-cased; every other byte unchanged.
std::string ascii_lower(std::string_view text);

// True when a and b are equal after folding the letters A to Z.
bool ascii_equal_ignoring_case(std::string_view a, std::string_view b);

} // namespace kvr
