#include "kvrhost/core/parser_items.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace kvrhost;

namespace {
std::vector<ParserItem> read(const std::string& text) {
    std::istringstream in(text);
    return read_items_file(in, "items.txt");
}

std::string read_error(const std::string& text) {
    try {
        read(text);
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    ADD_FAILURE() << "no error for " << text;
    return {};
}
} // namespace

TEST(ItemsFile, NamesWithOptionalTypes) {
    const auto items = read("Temp:float\r\n\n  Hum  \nTime:Stamp : DATETIME\n");
    const std::vector<ParserItem> expected = {
        {"Temp", "Float"}, {"Hum", ""}, {"Time:Stamp", "DateTime"}};
    EXPECT_EQ(expected, items);
    EXPECT_EQ("Temp|Temp|Float\r\nHum|Hum\r\nTime:Stamp|Time:Stamp|DateTime", items_text(items));
    EXPECT_EQ("", items_text({}));
}

TEST(ItemsFile, BadLinesNameTheirPlace) {
    EXPECT_EQ("items.txt:2: unknown value type \"Real\"", read_error("Temp\nHum:Real\n"));
    EXPECT_EQ("items.txt:1: an item has an empty name", read_error(":Float"));
    EXPECT_EQ("items.txt:3: the item name \"a|b\" holds \"|\" or a line break",
              read_error("x\n\na|b\n"));
}

TEST(SeenNames, KeepsFirstSpellingInOrderOfAppearance) {
    SeenNames seen;
    EXPECT_TRUE(seen.add("Temp"));
    EXPECT_TRUE(seen.add("Date"));
    EXPECT_FALSE(seen.add("TEMP"));
    EXPECT_TRUE(seen.add("T\xC3\x89MP")) << "only ASCII letters fold";
    EXPECT_EQ((std::vector<std::string>{"Temp", "Date", "T\xC3\x89MP"}), seen.names());
}

TEST(ItemsFromStream, NamesOfEveryPacketInOrderWithoutTheUnusable) {
    std::istringstream in("{\"Temp\":1,\"Date\":\"d\"}\n"
                          "not json\n"
                          "\n"
                          "[{\"hum\":2},{\"TEMP\":3,\"a|b\":4}]\n"
                          "{\"cut\":1}");
    std::vector<std::string> unusable;
    const auto items = items_from_stream(in, unusable);
    const std::vector<ParserItem> expected = {{"Temp", ""}, {"Date", ""}, {"hum", ""}};
    EXPECT_EQ(expected, items) << "a line cut off by the end of the file counts as no packet";
    EXPECT_EQ(std::vector<std::string>{"a|b"}, unusable);
}
