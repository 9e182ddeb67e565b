#include "settings/ini_text.h"

#include <gtest/gtest.h>

#include <random>

using namespace kvr::ini;

namespace {

std::vector<IniSection> parse_in_pieces(std::string_view text, std::size_t piece_size) {
    struct Collector : IniTextHandler {
        void section(std::string_view name) override {
            sections.push_back({std::string(name), {}});
        }
        void entry_line(std::string_view line) override {
            sections.back().lines.emplace_back(line);
        }
        std::vector<IniSection> sections;
    } collector;
    IniTextParser parser(collector);
    for (std::size_t start = 0; start < text.size(); start += piece_size)
        parser.feed(text.substr(start, piece_size));
    parser.finish();
    return collector.sections;
}

} // namespace

// The reading rules line by line are covered by the case files (ini_cases_test.cpp).

TEST(IniText, EndOfTextMarkStopsReadingEvenAcrossPieces) {
    const std::string text = std::string("[S]\na=1\nb=2\x1a") + "\nc=3\n[T]\nd=4\n";
    for (std::size_t piece : {1u, 3u, 1000u}) {
        const auto sections = parse_in_pieces(text, piece);
        ASSERT_EQ(1u, sections.size());
        EXPECT_EQ((std::vector<std::string>{"a=1", "b=2"}), sections[0].lines) << piece;
    }
}

// Pieces may cut a line, a header or a CR LF pair anywhere; the result must not change.
TEST(IniText, ResultDoesNotDependOnHowTheTextIsCut) {
    const std::string text =
        "junk\r\n[One]\r\nkey=value\r\n;comment\r\n\r\n[T\rwo]\r\nk2 = v2\nno-end";
    const auto whole = parse_ini_text(text);
    ASSERT_EQ(2u, whole.size());
    EXPECT_EQ("Two", whole[1].name);
    for (std::size_t piece = 1; piece <= text.size(); ++piece)
        EXPECT_EQ(whole, parse_in_pieces(text, piece)) << "piece size " << piece;
}

TEST(IniText, WriterEndsLinesWithCrLfAndSkipsSectionsWithoutLines) {
    const std::vector<IniSection> sections = {{"A", {"x=1", ";note"}}, {"Empty", {}}, {"", {"y"}}};
    EXPECT_EQ("[A]\r\nx=1\r\n;note\r\n\r\n[]\r\ny\r\n\r\n", format_ini_text(sections));
}

TEST(IniText, WriterHandsOnPiecesNoLargerThanItsBufferExceptSingleLongLines) {
    const std::string long_line(50, 'v');
    const std::vector<IniSection> sections = {{"S", {"a=1", "b=2", long_line, "c=3"}}};
    std::vector<std::string> pieces;
    IniTextWriter writer([&](std::string_view chunk) { pieces.emplace_back(chunk); }, 16);
    for (const auto& section : sections)
        writer.write_section(section.name, section.lines);
    writer.finish();
    std::string joined;
    for (const auto& piece : pieces) {
        if (piece != long_line) {
            EXPECT_LE(piece.size(), 16u) << piece;
        }
        joined += piece;
    }
    EXPECT_EQ(format_ini_text(sections), joined);
}

// Whatever the bytes, reading must end, and what is written back must read back the same.
TEST(IniText, RandomBytesReadWithoutFaultAndSurviveARoundTrip) {
    std::mt19937 random(20240517);
    const std::string alphabet = std::string("[]=; \r\n\x1a") + '\0' + "\xef\xbb\xbf" + "Abz";
    for (int round = 0; round < 300; ++round) {
        std::string text(random() % 400, '\0');
        for (char& c : text)
            c = (random() % 3 == 0) ? static_cast<char>(random() % 256)
                                    : alphabet[random() % alphabet.size()];
        const auto sections = parse_ini_text(text);
        EXPECT_EQ(sections, parse_in_pieces(text, 1 + random() % 7));
        // Sections without lines are not written, so compare with them left out.
        std::vector<IniSection> written;
        for (const auto& section : sections)
            if (!section.lines.empty()) written.push_back(section);
        EXPECT_EQ(written, parse_ini_text(format_ini_text(sections)));
    }
}

TEST(IniText, MegabyteLinesArriveWhole) {
    const std::string value(3 * 1024 * 1024 + 17, 'q');
    const std::string text = "[S]\r\nk=" + value + "\r\n" + "[" + value + "]\nz=1";
    const auto sections = parse_in_pieces(text, kTextBufferSize);
    ASSERT_EQ(2u, sections.size());
    EXPECT_EQ("k=" + value, sections[0].lines.at(0));
    EXPECT_EQ(value, sections[1].name);
}

TEST(IniText, TrimAndCaseHelpers) {
    EXPECT_EQ("a b", trim_blanks(std::string("\x01\t a b \x00\x20", 9)));
    EXPECT_EQ("", trim_blanks(" \t "));
    EXPECT_TRUE(ascii_equal_ignore_case("Common.Var1", "cOMMON.vAR1"));
    EXPECT_FALSE(ascii_equal_ignore_case("\xC4", "\xE4")); // only ASCII letters fold
    EXPECT_FALSE(ascii_equal_ignore_case("ab", "abc"));
    EXPECT_EQ("mixed \xC4z", ascii_lower("MiXeD \xC4Z"));
}
