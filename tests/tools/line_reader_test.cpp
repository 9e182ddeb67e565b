#include "kvrhost/core/line_reader.h"
#include "kvrhost/core/run_report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sstream>
#include <vector>

using namespace kvrhost;

namespace {
std::vector<InputLine> all_lines(const std::string& text, std::size_t max_bytes = kMaxLineBytes) {
    std::istringstream in(text);
    LineReader reader(in, max_bytes);
    std::vector<InputLine> lines;
    while (auto line = reader.next())
        lines.push_back(*line);
    return lines;
}
} // namespace

TEST(LineReader, SplitsAtLineEndsAndDropsTheCarriageReturnAndByteOrderMark) {
    const auto lines = all_lines("\xEF\xBB\xBF{\"a\":1}\r\n\n{\"b\":2}\r\r\nlast");
    ASSERT_EQ(4u, lines.size());
    EXPECT_EQ("{\"a\":1}", lines[0].text);
    EXPECT_EQ("", lines[1].text);
    EXPECT_EQ("{\"b\":2}\r", lines[2].text) << "only one CR belongs to the line end";
    EXPECT_EQ(3u, lines[2].number);
    EXPECT_EQ("last", lines[3].text);
    EXPECT_TRUE(lines[2].complete);
    EXPECT_FALSE(lines[3].complete);
}

TEST(LineReader, StreamEndingWithALineEndHasNoExtraLine) {
    EXPECT_EQ(1u, all_lines("x\n").size());
    EXPECT_TRUE(all_lines("").empty());
    EXPECT_EQ("\xEF\xBB\xBFx", all_lines("a\n\xEF\xBB\xBFx\n").at(1).text)
        << "a byte-order mark counts only at the start";
}

TEST(LineReader, OverlongLineIsSkippedWholeAndTheNextLineSurvives) {
    const auto lines = all_lines("12345678\n1234567890\n123456789\r\nok\n", 8);
    ASSERT_EQ(4u, lines.size());
    EXPECT_FALSE(lines[0].too_long);
    EXPECT_TRUE(lines[1].too_long);
    EXPECT_TRUE(lines[1].text.empty());
    EXPECT_TRUE(lines[2].too_long);
    EXPECT_EQ("ok", lines[3].text);
    EXPECT_EQ(4u, lines[3].number);
    EXPECT_FALSE(all_lines("12345678\r\n", 8).at(0).too_long) << "the CR of CR LF is no content";
}

TEST(PacketFromLine, BlankLinesCarryNothingAndCutOffLinesAreRefused) {
    const auto lines = all_lines("  \t\n{\"a\":1}\n{\"a\":2}");
    ASSERT_EQ(3u, lines.size());
    const PacketOutcome blank = packet_from_line(lines[0]);
    EXPECT_FALSE(blank.packet);
    EXPECT_TRUE(blank.error.empty());
    EXPECT_TRUE(packet_from_line(lines[1]).packet);
    EXPECT_EQ("the stream ended in the middle of a line", packet_from_line(lines[2]).error)
        << "even a line that happens to parse";

    InputLine too_long{7, "", true, true};
    EXPECT_EQ("the line is longer than 8388608 bytes", packet_from_line(too_long).error);
}

namespace {
// A live source: it hands out its bytes a few at a time, as a pipe may.
class TrickleSource final : public ByteSource {
  public:
    explicit TrickleSource(std::string bytes) : bytes_(std::move(bytes)) {}
    std::size_t read(char* buffer, std::size_t capacity) override {
        const std::size_t count = std::min({capacity, bytes_.size() - at_, 1 + at_ % 3});
        std::memcpy(buffer, bytes_.data() + at_, count);
        at_ += count;
        return count;
    }

  private:
    std::string bytes_;
    std::size_t at_ = 0;
};
} // namespace

TEST(LineReader, LinesCutIntoPiecesByTheSourceReadAsWhole) {
    const std::string text = "\xEF\xBB\xBF{\"a\":1}\r\n\n123456789\r\n1234567890\nok\r\r\nlast\r";
    std::istringstream whole_stream(text);
    LineReader whole(whole_stream, 9);
    TrickleSource source(text);
    LineReader pieces(source, 9);
    InputLine line;
    std::size_t count = 0;
    while (pieces.next(line)) {
        const std::optional<InputLine> expected = whole.next();
        ASSERT_TRUE(expected);
        EXPECT_EQ(expected->text, line.text) << "line " << line.number;
        EXPECT_EQ(expected->number, line.number);
        EXPECT_EQ(expected->complete, line.complete) << "line " << line.number;
        EXPECT_EQ(expected->too_long, line.too_long) << "line " << line.number;
        ++count;
    }
    EXPECT_FALSE(whole.next());
    EXPECT_EQ(6u, count);
}
