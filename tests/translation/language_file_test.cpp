#include "translation/language_file.h"

#include "component/text_util.h"
#include "translation/utf8_text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace kvr {
namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

Entries entries_of(std::string_view text, std::string_view source = "EN",
                   std::string_view target = "DE") {
    Entries result;
    for (const TLngEntry& entry : parse_language_file(text, source, target).Entries)
        result.emplace_back(entry.Key, entry.Translation);
    return result;
}

TLngSettings settings_of(std::string_view text) {
    return parse_language_file(text, "EN", "DE").Settings;
}

// Nineteen comment lines, so that what follows starts at line 20.
std::string past_setting_lines() {
    std::string text;
    for (int line = 1; line <= 19; ++line)
        text += "// filler\r\n";
    return text;
}

TEST(LanguageFileBlocks, ABlockCountsOnlyWhenAnEmptyLineFollowsIt) {
    EXPECT_EQ(entries_of("EN:>Save\r\nDE:>Speichern"), Entries{});
    EXPECT_EQ(entries_of("EN:>Save\r\nDE:>Speichern\r\n"), Entries{});
    EXPECT_EQ(entries_of("EN:>Save\r\nDE:>Speichern\r\n\r\n"), (Entries{{"Save", "Speichern"}}));
    EXPECT_EQ(entries_of("EN:>Save\nDE:>Speichern\n\n"), (Entries{{"Save", "Speichern"}}));
    // Only the last block of a file is lost that way.
    EXPECT_EQ(entries_of("EN:>A\nDE:>a\n\nEN:>B\nDE:>b\n"), (Entries{{"A", "a"}}));
    EXPECT_EQ(entries_of(""), Entries{});
}

TEST(LanguageFileBlocks, LastKeyAndLastTranslationOfABlockMakeItsEntry) {
    const std::string text = "EN:>Old\r\nDE:>Erste\r\nFR:>Enregistrer\r\nEN:>Save\r\nDE:>Zweite\r\n"
                             "\r\n"
                             "EN:>Cancel\r\nDE:>\r\n\r\n" // empty translation
                             "EN:>\r\nDE:>Leer\r\n\r\n"   // empty key
                             "EN:>Open\r\n\r\n"           // no target line
                             "EN:>Save\r\nen:>Save\r\nDE:> Sichern\r\n\r\n";
    EXPECT_EQ(entries_of(text), (Entries{{"Save", "Zweite"}, {"Save", " Sichern"}}));
    EXPECT_EQ(entries_of(text, "EN", "FR"), (Entries{{"Save", "Enregistrer"}}));
    EXPECT_EQ(entries_of(text, "en", "DE"), (Entries{{"Save", " Sichern"}}));
    // With equal codes every line counts as a key line, so no block has a translation.
    EXPECT_EQ(entries_of(text, "DE", "DE"), Entries{});
}

TEST(LanguageFileBlocks, CommentsAndOtherLinesNeitherStartNorEndABlock) {
    const std::string text = past_setting_lines() +
                             "EN:>Close\r\n// a remark\r\nNote without prefix\r\n"
                             "encoding=utf-8\r\n\tDE:>tab first\r\nDE:>Schlie\xDF"
                             "en\r\n\r\n";
    EXPECT_EQ(entries_of(text), (Entries{{"Close", "Schlie\xDF"
                                                   "en"}}));
}

TEST(LanguageFileLines, OnlySpacesAreTrimmedAndALoneCrStaysInItsLine) {
    EXPECT_EQ(split_language_lines("  a b  \r\n\tc\t\r\nd\re\nlast"),
              (std::vector<std::string_view>{"a b", "\tc\t", "d\re", "last"}));
    EXPECT_EQ(split_language_lines("x\n\n"), (std::vector<std::string_view>{"x", ""}));
    EXPECT_EQ(entries_of("   EN:>Two\rlines   \n  DE:>Zwei  \n   \n"),
              (Entries{{"Two\rlines", "Zwei"}}));
}

TEST(LanguageFileSettings, KeysNeedTheirExactCapitalisationValuesDoNot) {
    EXPECT_TRUE(settings_of("Encoding=UTF-8\n").Utf8);
    EXPECT_TRUE(settings_of("  Encoding=  \tUtf-8 \x01\n").Utf8);
    EXPECT_FALSE(settings_of("encoding=utf-8\n").Utf8);
    EXPECT_FALSE(settings_of("Encoding=utf8\n").Utf8);
    EXPECT_FALSE(settings_of("Encoding = utf-8\n").Utf8); // the key includes its "="
    EXPECT_EQ(settings_of("; Charset=Windows-1251\n").Charset, 204);
    EXPECT_EQ(settings_of("BiDiMode=RightToLeftReadingOnly\n").BiDiMode,
              TLngBiDiMode::bdRightToLeftReadingOnly);
}

TEST(LanguageFileSettings, AnUnknownValueLeavesTheSettingAsItWas) {
    const TLngSettings s = settings_of("Charset=gb2312\nCharset=klingon\nBiDiMode=RightToLeft\n"
                                       "BiDiMode=LeftToRight\nLocale=1049\nLocale=abc\n"
                                       "Locale=0\nLocale=-5\nLocale=0x80000000\n");
    EXPECT_EQ(s.Charset, 134);
    EXPECT_EQ(s.BiDiMode, TLngBiDiMode::bdRightToLeft);
    EXPECT_EQ(s.Locale, std::optional<std::uint32_t>(1049));

    const TLngSettings defaults = settings_of("Charset=\nEncoding=latin\nLocale=\n");
    EXPECT_EQ(defaults.Charset, kDefaultCharset);
    EXPECT_FALSE(defaults.Utf8);
    EXPECT_FALSE(defaults.Locale.has_value());
}

TEST(LanguageFileSettings, LocaleAcceptsDecimalAndBothHexForms) {
    for (const char* value : {"0x0419", "0X419", "$419", "1049", "$0419"})
        EXPECT_EQ(parse_locale_value(text::ascii_lower(value)), std::optional<std::uint32_t>(1049))
            << value;
    for (const char* value : {"", "0", "$", "0x", "12abc", "+5", "4294967296", "$FFFFFFFF"})
        EXPECT_FALSE(parse_locale_value(value).has_value()) << value;
    EXPECT_EQ(settings_of("Locale=$419\n").Locale, std::optional<std::uint32_t>(1049));
}

TEST(LanguageFileSettings, OnlyTheFirstNineteenLinesAndFiftyCharactersCount) {
    EXPECT_EQ(settings_of(past_setting_lines() + "Charset=windows-1251\n").Charset,
              kDefaultCharset);
    TLngSettings settings;
    EXPECT_TRUE(apply_setting_line(std::string(42, 'x') + "Charset=windows-1251", settings));
    EXPECT_FALSE(apply_setting_line(std::string(43, 'x') + "Charset=windows-1251", settings));
    // The value is cut at the fiftieth character, too.
    EXPECT_EQ(settings_of(std::string(31, 'x') + "Charset=windows-1251\n").Charset,
              kDefaultCharset);
    EXPECT_EQ(settings_of(std::string(30, 'x') + "Charset=windows-1251\n").Charset, 204);
    // The value follows the first "=" of the line, whichever key it belongs to.
    EXPECT_FALSE(settings_of("a=b Encoding=utf-8\n").Utf8);
}

// An entry line among the first nineteen that holds a settings key is a setting line.
TEST(LanguageFileSettings, ASettingLineIsConsumedEvenInsideABlock) {
    const std::string block = "EN:>Locale=\r\nDE:>Gebietsschema\r\n\r\n";
    EXPECT_EQ(entries_of(block), Entries{});
    EXPECT_EQ(entries_of(past_setting_lines() + block), (Entries{{"Locale=", "Gebietsschema"}}));
    // A setting line between two entry lines does not end their block.
    EXPECT_EQ(entries_of("EN:>Yes\nCharset=johab\nDE:>Ja\n\n"), (Entries{{"Yes", "Ja"}}));
}

TEST(LanguageFileDirectives, AreWholeLinesAmongTheFirstNineteen) {
    auto directives_of = [](const std::string& text) {
        return parse_language_file(text, "EN", "DE").Directives;
    };
    const TLngDirectives set = directives_of("//saveuntr\n  //fileappend\t\n//saveuntrobj\n");
    EXPECT_EQ(set.CollectMode, TLngCollectMode::cmSaveUntrObj);
    EXPECT_EQ(set.FileMode, TLngFileMode::fmAppend);
    EXPECT_EQ(directives_of("//saveunused\n").CollectMode, TLngCollectMode::cmSaveUnused);
    EXPECT_EQ(directives_of("//saveall\n//filerewrite\n").FileMode, TLngFileMode::fmRewrite);

    for (const std::string text :
         {"//SaveUntr\n", "//saveuntr please\n", "// saveuntr\n", "//filenewer\n"}) {
        const TLngDirectives none = directives_of(text);
        EXPECT_FALSE(none.CollectMode.has_value()) << text;
        EXPECT_FALSE(none.FileMode.has_value()) << text;
    }
    EXPECT_FALSE(directives_of(past_setting_lines() + "//saveuntr\n").CollectMode.has_value());
}

TEST(LanguageFileKeyForm, WritesControlCharactersAsPercentAndHex) {
    EXPECT_EQ(to_key_form("Line 1\r\nLine 2\t100% &Done\x1F"),
              "Line 1%0D%0ALine 2%09100% &Done%1F");
    EXPECT_EQ(to_key_form(std::string("a\0b", 3)), "a%00b");
    EXPECT_EQ(to_key_form("\xE4\x80 "), "\xE4\x80 ");
}

TEST(LanguageFileLanguagesSection, DefaultIsReadAsTheIniEngineReadsIt) {
    const std::string text = "; template\r\n[languages]\r\n$EN = #1\r\n  default =  DE \r\n"
                             "Default = FR\r\n\r\nEN:>Save\r\nDE:>Speichern\r\n\r\n"
                             "[Other]\r\nDefault = IT\r\n[LANGUAGES]\r\nDefault = ES\r\n";
    EXPECT_EQ(default_language_from_section(languages_section_lines(text)), "DE");
    EXPECT_EQ(languages_section_lines(text).size(), 5u);
    // To the entry parser the section is a block like any other.
    EXPECT_EQ(entries_of(text), (Entries{{"Save", "Speichern"}}));

    EXPECT_EQ(default_language_from_section(languages_section_lines("[Languages] \nDefault=DE\n")),
              "");
    EXPECT_EQ(default_language_from_section(languages_section_lines("[Languages]\nDefault\n")), "");
    EXPECT_EQ(default_language_from_section(
                  languages_section_lines("[Languages]\nDe\rfault=D\rE\x1A\nDefault=X\n")),
              "DE");
}

TEST(LanguageFileJunk, BinaryJunkNeverYieldsTextFromOutsideAnEntryLine) {
    std::mt19937 random(2024);
    for (int round = 0; round < 300; ++round) {
        std::string text;
        const int pieces = static_cast<int>(random() % 40);
        for (int piece = 0; piece < pieces; ++piece) {
            switch (random() % 5) {
            case 0:
                text += "EN:>";
                break;
            case 1:
                text += "DE:>";
                break;
            case 2:
                text += "\r\n";
                break;
            case 3:
                text += "\n";
                break;
            default:
                for (int n = static_cast<int>(random() % 12); n > 0; --n)
                    text.push_back(static_cast<char>(random()));
            }
        }
        for (const TLngEntry& entry : parse_language_file(text, "EN", "DE").Entries) {
            ASSERT_FALSE(entry.Key.empty());
            ASSERT_FALSE(entry.Translation.empty());
            ASSERT_EQ(entry.Key.find('\n'), std::string::npos);
            ASSERT_NE(text.find("EN:>" + entry.Key), std::string::npos);
            ASSERT_NE(text.find("DE:>" + entry.Translation), std::string::npos);
        }
    }
}

TEST(LanguageFileJunk, RealEntriesSurviveJunkAndNulBytesAround) {
    std::string junk;
    for (int c = 0; c < 256; ++c)
        if (c != '\n') junk.push_back(static_cast<char>(c));
    const std::string text = "Encoding=utf-8\r\n" + junk + "\r\n\r\nEN:>Start\r\nDE:>Beginn\r\n" +
                             junk + "\r\n\r\nEN:>" + junk + "\r\nDE:>\xE2\x82\r\n\r\n" +
                             "EN:>End\r\nDE:>Ende\r\n\r\n";
    const TLngParseResult parsed = parse_language_file(text, "EN", "DE");
    EXPECT_TRUE(parsed.Settings.Utf8);
    ASSERT_EQ(parsed.Entries.size(), 3u);
    EXPECT_EQ(parsed.Entries[0].Key, "Start");
    EXPECT_EQ(parsed.Entries[1].Key, junk); // NUL bytes and a lone CR included
    EXPECT_EQ(parsed.Entries[2].Translation, "Ende");
    // A UTF-8 sequence cut off at the line end decodes to one replacement character and
    // takes nothing of the lines after it.
    EXPECT_EQ(utf8_to_wide(parsed.Entries[1].Translation), u"\uFFFD");
}

TEST(LanguageFileLongLines, AMegabyteLineIsOneEntryAndNoSetting) {
    const std::string text_mb(1 << 20, 'w');
    const std::string text = "Note " + text_mb + " Encoding=utf-8\r\nEN:>" + text_mb + "\r\nDE:>x" +
                             text_mb + "\r\n\r\n";
    const TLngParseResult parsed = parse_language_file(text, "EN", "DE");
    EXPECT_FALSE(parsed.Settings.Utf8);
    ASSERT_EQ(parsed.Entries.size(), 1u);
    EXPECT_EQ(parsed.Entries[0].Key, text_mb);
    EXPECT_EQ(parsed.Entries[0].Translation.size(), text_mb.size() + 1);
}

TEST(LanguageFileLongLines, HugeRunsOfOneKindOfLineYieldWhatTheirBlocksHold) {
    EXPECT_EQ(entries_of(std::string(100000, '\n')), Entries{});
    EXPECT_EQ(entries_of("EN:>a" + std::string(100000, '\r') + "\nDE:>b\n\n"),
              (Entries{{"a" + std::string(99999, '\r'), "b"}}));

    std::string one_block;
    for (int n = 0; n < 100000; ++n)
        one_block += "EN:>key " + std::to_string(n) + "\n";
    EXPECT_EQ(entries_of(one_block + "DE:>last\n\n"), (Entries{{"key 99999", "last"}}));
    EXPECT_EQ(entries_of(one_block + "DE:>never closed\n"), Entries{});

    std::string many_blocks;
    for (int n = 0; n < 100000; ++n)
        many_blocks += "EN:>k" + std::to_string(n) + "\r\nDE:>v" + std::to_string(n) + "\r\n\r\n";
    const Entries entries = entries_of(many_blocks);
    ASSERT_EQ(entries.size(), 100000u);
    EXPECT_EQ(entries.front(), (std::pair<std::string, std::string>{"k0", "v0"}));
    EXPECT_EQ(entries.back(), (std::pair<std::string, std::string>{"k99999", "v99999"}));
}

// Random bytes under "Encoding=utf-8": the decoder stays within the text, and whatever it
// accepts without a replacement character is exactly what was written.
TEST(Utf8Text, RandomBytesDecodeConsistently) {
    std::mt19937 random(99);
    for (int round = 0; round < 5000; ++round) {
        std::string bytes(random() % 24, '\0');
        for (char& c : bytes)
            c = static_cast<char>(random() % 3 == 0 ? random() : 0x80 + random() % 0x78);
        const std::u16string wide = utf8_to_wide(bytes);
        ASSERT_LE(wide.size(), bytes.size());
        const std::string reencoded = wide_to_utf8(wide);
        ASSERT_EQ(utf8_to_wide(reencoded), wide);
        if (wide.find(u'\uFFFD') == std::u16string::npos) {
            ASSERT_EQ(reencoded, bytes);
        }
    }
}

TEST(Utf8Text, DecodingReplacesEachIllFormedPartAndKeepsWhatFollows) {
    EXPECT_EQ(utf8_to_wide("Gr\xC3\xBC\xC3\x9F \xE2\x82\xAC \xF0\x9F\x98\x80"),
              u"Gr\u00FC\u00DF \u20AC \U0001F600");
    EXPECT_EQ(utf8_to_wide("\xC0\x80"), u"\uFFFD\uFFFD");           // overlong
    EXPECT_EQ(utf8_to_wide("\xE0\x80\x80"), u"\uFFFD\uFFFD\uFFFD"); // overlong
    EXPECT_EQ(utf8_to_wide("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD"); // surrogate
    EXPECT_EQ(utf8_to_wide("\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(utf8_to_wide("\xE2\x82"
                           "A"),
              u"\uFFFD"
              "A");
    EXPECT_EQ(utf8_to_wide("\xF0\x9F\x98"), u"\uFFFD");
    EXPECT_EQ(utf8_to_wide("\x80\xBF\xFF"), u"\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(utf8_to_wide(std::string("\0", 1)), std::u16string(1, u'\0'));
    EXPECT_EQ(wide_to_utf8(u"\u00FC\u20AC\U0001F600"), "\xC3\xBC\xE2\x82\xAC\xF0\x9F\x98\x80");
    EXPECT_EQ(wide_to_utf8(std::u16string(1, char16_t(0xD800)) + u"x"), "\xEF\xBF\xBDx");
}

} // namespace
} // namespace kvr
