// The platform-free text services: Windows-1252 with every byte surviving wide text.

#include "component/text_platform.h"
#include "component/text_util.h"

#include <gtest/gtest.h>

using namespace kvr;

TEST(Windows1252, EveryByteSurvivesARoundTripThroughWideText) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    const TextPlatform& platform = text_platform();
    const std::u16string wide = platform.ansi_to_wide(all);
    ASSERT_EQ(256u, wide.size());
    EXPECT_EQ(u'\u20ac', wide[0x80]);
    EXPECT_EQ(u'\u0178', wide[0x9F]);
    EXPECT_EQ(u'\u0081', wide[0x81]);
    EXPECT_EQ(all, platform.wide_to_ansi(wide));
}

TEST(Windows1252, CharactersOutsideTheCodePageBecomeQuestionMarks) {
    EXPECT_EQ("a?b?", text_platform().wide_to_ansi(u"a\u0100b\U0001F600"));
}

TEST(Windows1252, CaseMappingCoversAccentedLettersButNotTheirLookalikes) {
    const TextPlatform& platform = text_platform();
    EXPECT_EQ("\xc0\xde\x8a\x9f\xf7\xdf"
              "AZ",
              platform.ansi_upper("\xe0\xfe\x9a\xff\xf7\xdf"
                                  "az"));
    EXPECT_EQ("\xe0\xfe\x9a\xff\xd7"
              "az",
              platform.ansi_lower("\xc0\xde\x8a\x9f\xd7"
                                  "AZ"));
    EXPECT_EQ(0, platform.ansi_compare("\xe9t\xe9", "\xc9T\xc9", false));
    EXPECT_GT(platform.ansi_compare("\xe9t\xe9", "\xc9T\xc9", true), 0);
    EXPECT_LT(platform.ansi_compare("ab", "abc", false), 0);
}

TEST(AsciiText, OnlyAsciiLettersChangeCaseAndTrimmingStopsAtVisibleBytes) {
    EXPECT_EQ("abc\xc4", text::ascii_lower("AbC\xc4"));
    EXPECT_TRUE(text::same_text_ascii("Var1_Text", "VAR1_TEXT"));
    EXPECT_FALSE(text::same_text_ascii("\xe4", "\xc4"));
    EXPECT_EQ("a b", text::trim_controls("\t\r\n a b \x01\x1f"));
    EXPECT_EQ("\xa0x\xa0", text::trim_controls(" \xa0x\xa0 ")); // 0xA0 is above 32
}
