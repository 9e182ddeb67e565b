// The text services of the running Windows system, checked against the platform-free
// Windows-1252 rules where the system's ANSI code page is 1252 and against the user locale's
// own formatting otherwise.

#include "component/text_platform_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

using namespace kvr;

namespace {

const TextPlatform& windows = windows_text_platform();

std::string every_byte() {
    std::string bytes;
    for (int b = 0; b < 256; ++b)
        bytes.push_back(static_cast<char>(b));
    return bytes;
}

bool code_page_is_1252() {
    return GetACP() == 1252;
}

} // namespace

TEST(WindowsText, ConvertsBetweenTheAnsiCodePageAndWideText) {
    static constexpr char kRaw[] = "Save &settings\r\n\t100% \0end";
    static constexpr char16_t kRawWide[] = u"Save &settings\r\n\t100% \0end";
    const std::string ascii(kRaw, sizeof kRaw - 1);
    EXPECT_EQ(std::u16string(kRawWide, std::size(kRawWide) - 1), windows.ansi_to_wide(ascii));
    EXPECT_EQ(ascii, windows.wide_to_ansi(windows.ansi_to_wide(ascii)));
    EXPECT_EQ(u"", windows.ansi_to_wide(""));
    EXPECT_EQ("", windows.wide_to_ansi(u""));
    // No ANSI code page has a snowman; the fullwidth backslash must not become a backslash.
    if (GetACP() != CP_UTF8) {
        EXPECT_EQ("a?b?", windows.wide_to_ansi(u"a\u2603b\uFF3C"));
    }

    if (code_page_is_1252()) {
        const Windows1252TextPlatform reference;
        EXPECT_EQ(reference.ansi_to_wide(every_byte()), windows.ansi_to_wide(every_byte()));
        EXPECT_EQ(every_byte(), windows.wide_to_ansi(windows.ansi_to_wide(every_byte())));
        EXPECT_EQ("A?", windows.wide_to_ansi(u"A\u0100")); // no best fit to "A"
    }
}

TEST(WindowsText, CaseMappingKeepsTheLengthAndFollowsTheCodePage) {
    EXPECT_EQ("SAVE 1 & QUIT", windows.ansi_upper("Save 1 & quit"));
    EXPECT_EQ("save 1 & quit", windows.ansi_lower("Save 1 & QUIT"));
    EXPECT_EQ(std::string("A\0B", 3), windows.ansi_upper(std::string("a\0b", 3)));
    EXPECT_EQ("", windows.ansi_upper(""));
    EXPECT_EQ(256u, windows.ansi_upper(every_byte()).size());
    EXPECT_EQ(256u, windows.ansi_lower(every_byte()).size());
    if (code_page_is_1252()) {
        // a umlaut, e acute, s caron, y diaeresis (whose capital lies in 0x80..0x9F)
        EXPECT_EQ("\xC4\xC9\x8A\x9F", windows.ansi_upper("\xE4\xE9\x9A\xFF"));
        EXPECT_EQ("\xE4\xE9\x9A\xFF", windows.ansi_lower("\xC4\xC9\x8A\x9F"));
        EXPECT_EQ("\xF7\xD7", windows.ansi_upper("\xF7\xD7")); // division, multiplication
    }
}

TEST(WindowsText, ComparesInTheUserLocalesOrder) {
    // Byte order would put "B" (0x42) before "a" (0x61); the locale does not.
    EXPECT_LT(windows.ansi_compare("a", "B", false), 0);
    EXPECT_LT(windows.ansi_compare("a", "B", true), 0);
    EXPECT_GT(windows.ansi_compare("B", "a", true), 0);
    EXPECT_EQ(0, windows.ansi_compare("Save", "sAVE", false));
    EXPECT_NE(0, windows.ansi_compare("Save", "sAVE", true));
    EXPECT_EQ(0, windows.ansi_compare("", "", true));
    EXPECT_LT(windows.ansi_compare("", "a", false), 0);
    EXPECT_LT(windows.ansi_compare("ab", "abc", true), 0);
}

TEST(WindowsText, DecimalSeparatorIsTheOneTheUserLocaleFormatsNumbersWith) {
    char formatted[64] = {};
    ASSERT_GT(GetNumberFormatA(LOCALE_USER_DEFAULT, 0, "1.5", nullptr, formatted, sizeof formatted),
              0);
    ASSERT_EQ('1', formatted[0]) << formatted;
    EXPECT_EQ(formatted[1], windows.decimal_separator()) << formatted;
}
