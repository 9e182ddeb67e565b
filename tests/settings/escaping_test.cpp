// Escaping of stored text values.

#include "settings/escaping.h"

#include <gtest/gtest.h>

#include <random>

using namespace kvr;

TEST(EscapeValue, BlanksBecomePlusWhereAStoreCouldLoseThem) {
    EXPECT_EQ("++a+ b ", EscapeValue("  a  b "));
    EXPECT_EQ("+", EscapeValue(" "));
    EXPECT_EQ("a b", EscapeValue("a b"));
    EXPECT_EQ("a++ ", EscapeValue("a   "));
    EXPECT_EQ("", EscapeValue(""));
}

TEST(EscapeValue, ControlBytesPercentAndPlusAreEncodedOtherBytesStay) {
    EXPECT_EQ("50%%%2B", EscapeValue("50%+"));
    EXPECT_EQ("a%0D%0Ab", EscapeValue("a\r\nb"));
    EXPECT_EQ("%00%1F\x7f\x80\xff", EscapeValue(std::string("\0\x1f\x7f\x80\xff", 5)));
    // A control byte ends the leading run like any other non-blank byte.
    EXPECT_EQ("%09 x", EscapeValue("\t x"));
}

TEST(UnescapeValue, DecodesPairsAndHexInEitherCaseAndKeepsStrayPercents) {
    EXPECT_EQ("JJ", UnescapeValue("%4a%4A"));
    EXPECT_EQ("%zz", UnescapeValue("%zz"));
    EXPECT_EQ("100%", UnescapeValue("100%"));
    EXPECT_EQ("5%A", UnescapeValue("5%A"));
    EXPECT_EQ("a b", UnescapeValue("a+b"));
    EXPECT_EQ("%41", UnescapeValue("%%41"));
    EXPECT_EQ(std::string("\0", 1), UnescapeValue("%00"));
    EXPECT_EQ("  a  b ", UnescapeValue("++a+ b "));
    EXPECT_EQ("", UnescapeValue(""));
}

TEST(Escaping, EveryByteStringSurvivesARoundTrip) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    EXPECT_EQ(all, UnescapeValue(EscapeValue(all)));

    // Random texts drawn mostly from the bytes escaping treats specially.
    const std::string special("  %+\r\n\t\0%2B%%41ab\xff", 18);
    std::mt19937 random(20240611);
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        const auto length = random() % 12;
        for (unsigned i = 0; i < length; ++i)
            text.push_back(random() % 4 ? special[random() % special.size()]
                                        : static_cast<char>(random() % 256));
        const std::string escaped = EscapeValue(text);
        ASSERT_EQ(text, UnescapeValue(escaped)) << "escaped: " << escaped;
        for (char c : escaped)
            ASSERT_GE(static_cast<unsigned char>(c), 0x20) << escaped;
        ASSERT_EQ(std::string::npos, escaped.find("  ")) << escaped;
        ASSERT_FALSE(!escaped.empty() && escaped.front() == ' ') << escaped;
    }
}
