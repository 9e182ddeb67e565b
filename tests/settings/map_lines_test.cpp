// Parsing of property map lines and the short map.

#include "settings/map_lines.h"

#include <gtest/gtest.h>

using namespace kvr;

namespace {

// The aggregation filter's map: an empty first line and a single blank as the last.
TStringList filter_map() {
    TStringList map;
    for (const char* line :
         {"", "Left,Left", "Top,Top", "Height,Height", "Width,Width", ";---short---",
          "var1.Text,Var1", "var2.Text,Var2", "var3.Text,Var3", "var4.Text,Var4", "var5.Text,Var5",
          "var6.Text,Var6", "var7.Text,Var7", "var8.Text,Var8", "spTimeout.Value,Timeout",
          "chkNoReset.Checked,No reset", " "})
        map.Add(line);
    return map;
}

std::vector<std::string> lines_of(const TStringList& list) {
    std::vector<std::string> lines;
    for (int i = 0; i < list.Count(); ++i)
        lines.push_back(list.Get(i));
    return lines;
}

} // namespace

TEST(ParseMapLine, SplitsAtTheFirstCommaAndTrimsBothParts) {
    auto line = ParseMapLine(" \tchkNoReset.Checked , No reset\r");
    ASSERT_TRUE(line);
    EXPECT_EQ("chkNoReset.Checked", line->control_path);
    EXPECT_EQ("No reset", line->storage_name);

    line = ParseMapLine("Left");
    ASSERT_TRUE(line);
    EXPECT_EQ("Left", line->control_path);
    EXPECT_EQ("", line->storage_name);

    line = ParseMapLine("Memo.Lines,Sub\\Notes,extra");
    ASSERT_TRUE(line);
    EXPECT_EQ("Sub\\Notes,extra", line->storage_name);
}

TEST(ParseMapLine, EmptyCommentAndPathlessLinesAreIgnored) {
    EXPECT_FALSE(ParseMapLine(""));
    EXPECT_FALSE(ParseMapLine(" \x01 "));
    EXPECT_FALSE(ParseMapLine("  ;---short---  "));
    EXPECT_FALSE(ParseMapLine(";Left,Left"));
    EXPECT_FALSE(ParseMapLine(" ,Storage"));
    ASSERT_TRUE(ParseMapLine("Left;x,Left"));
}

TEST(ShortMap, FilterMapKeepsTheGeometryLinesAndTheMarker) {
    const TStringList map = filter_map();
    ASSERT_EQ(17, map.Count());
    const TStringList short_map = ShortMap(map);
    EXPECT_EQ(std::vector<std::string>(
                  {"", "Left,Left", "Top,Top", "Height,Height", "Width,Width", ";---short---"}),
              lines_of(short_map));
}

TEST(ShortMap, MarkerIsFoundAnywhereAndTheMapWithoutOneIsUsedWhole) {
    TStringList map;
    map.SetText("Left,Left\r\n   ;---short---   \r\nTop,Top\r\n;---short---\r\nWidth,Width");
    EXPECT_EQ(std::vector<std::string>({"Left,Left", "   ;---short---"}), lines_of(ShortMap(map)));

    map.SetText("Left,Left\r\nTop,Top;---short---x\r\nWidth,Width");
    EXPECT_EQ(std::vector<std::string>({"Left,Left", "Top,Top;---short---"}),
              lines_of(ShortMap(map)));

    map.SetText("Left,Left\r\n;--short--\r\nTop,Top");
    EXPECT_EQ(lines_of(map), lines_of(ShortMap(map)));
}
