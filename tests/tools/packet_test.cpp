#include "kvrhost/core/packet.h"

#include <gtest/gtest.h>

#include <string>

using namespace kvrhost;

namespace {

Packet parsed(std::string_view line) {
    PacketOutcome outcome = parse_packet_line(line);
    EXPECT_TRUE(outcome.packet) << line << " -> " << outcome.error;
    EXPECT_TRUE(outcome.error.empty());
    return outcome.packet.value_or(Packet{});
}

std::string refusal(std::string_view line) {
    PacketOutcome outcome = parse_packet_line(line);
    EXPECT_FALSE(outcome.packet) << line;
    EXPECT_FALSE(outcome.error.empty()) << line;
    return outcome.error;
}

} // namespace

TEST(Packet, ObjectBecomesOneOpenRowInItemOrder) {
    const Packet packet = parsed(R"({"Temp":20.5,"Date":"d1","ok":true,"gone":null,"n":-3})");
    EXPECT_FALSE(packet.several_rows);
    ASSERT_EQ(1u, packet.rows.size());
    const Row expected = {{"Temp", 20.5},
                          {"Date", std::string("d1")},
                          {"ok", true},
                          {"gone", Null{}},
                          {"n", std::int32_t(-3)}};
    EXPECT_EQ(expected, packet.rows[0]);
}

TEST(Packet, IntegersWithin32BitsStayIntegersAndOthersBecomeDoubles) {
    const Packet packet = parsed(R"({"a":2147483647,"b":-2147483648,"c":2147483648,)"
                                 R"("d":-2147483649,"e":9007199254740992,"f":20.0,"g":1e2})");
    const Row& row = packet.rows.at(0);
    EXPECT_EQ(Value(std::int32_t(2147483647)), row[0].value);
    EXPECT_EQ(Value(std::int32_t(-2147483647 - 1)), row[1].value);
    EXPECT_EQ(Value(2147483648.0), row[2].value);
    EXPECT_EQ(Value(-2147483649.0), row[3].value);
    EXPECT_EQ(Value(9007199254740992.0), row[4].value);
    EXPECT_EQ(Value(20.0), row[5].value) << "a written fraction keeps the value a double";
    EXPECT_EQ(Value(100.0), row[6].value);
}

TEST(Packet, IntegersThatWouldChangeOnTheWayAreRefused) {
    EXPECT_NE(std::string::npos, refusal(R"({"id":9007199254740993})").find("\"id\""));
    refusal(R"({"id":-9007199254740993})");
    refusal(R"({"id":18446744073709551615})");
    refusal(R"({"id":123456789012345678901234567890})");
    EXPECT_NE(std::string::npos, refusal(R"({"x":1e400})").find("too large"));
}

TEST(Packet, ArrayGivesClosedRows) {
    const Packet packet = parsed(R"([{"Temp":1},{"Hum":2},{}])");
    EXPECT_TRUE(packet.several_rows);
    ASSERT_EQ(3u, packet.rows.size());
    EXPECT_EQ((Row{{"Hum", std::int32_t(2)}}), packet.rows[1]);
    EXPECT_TRUE(packet.rows[2].empty());
    EXPECT_EQ(2u, packet.item_count());
    EXPECT_TRUE(parsed("[]").rows.empty());
    EXPECT_TRUE(parsed(" {} ").rows.at(0).empty());
}

TEST(Packet, RepeatedNamesAndUnicodeArriveUnchanged) {
    const Packet packet = parsed(R"({"a":1,"A":2,"a":3,"t\u00e9":"\u20ac\n"})");
    const Row& row = packet.rows.at(0);
    ASSERT_EQ(4u, row.size());
    EXPECT_EQ("a", row[2].name);
    EXPECT_EQ(Value(std::int32_t(3)), row[2].value);
    EXPECT_EQ("t\xC3\xA9", row[3].name);
    EXPECT_EQ(Value(std::string("\xE2\x82\xAC\n")), row[3].value);
}

TEST(Packet, ValuesOfUnsupportedKindsAreRefusedWithTheirName) {
    EXPECT_EQ("the value of \"pos\" is an object; only numbers, strings, booleans and null are "
              "passed",
              refusal(R"({"a":1,"pos":{"x":1}})"));
    EXPECT_NE(std::string::npos, refusal(R"({"list":[1,2]})").find("\"list\" is an array"));
    EXPECT_EQ("row 2 is a plain value, not an object", refusal(R"([{"a":1},5])"));
    EXPECT_EQ("row 1 is an array, not an object", refusal(R"([[{"a":1}]])"));
    EXPECT_EQ("a packet is a JSON object or an array of objects, not a plain value", refusal("42"));
    refusal(R"("text")");
}

TEST(Packet, NamesThatCannotTravelAreRefused) {
    EXPECT_EQ("an item has an empty name", refusal(R"({"":1})"));
    EXPECT_EQ("an item has an empty name", refusal(R"({" \t":1})"));
    EXPECT_NE(std::string::npos, refusal(R"({"a\u0000b":1})").find("NUL"));
    EXPECT_NE(std::string::npos, refusal(R"([{"a":1,"$NEW_ROW$":null}])").find("reserved"));
    // Only the exact separator name ends a row, so other spellings are ordinary names.
    EXPECT_EQ("$new_row$", parsed(R"({"$new_row$":1})").rows.at(0).at(0).name);
    EXPECT_EQ(" Temp", parsed(R"({" Temp":1})").rows.at(0).at(0).name) << "names stay untrimmed";
}

TEST(Packet, MalformedJsonIsRefusedWithItsColumn) {
    const std::string reason = refusal(R"({"a":tru})");
    EXPECT_EQ(0u, reason.find("malformed JSON at column ")) << reason;
    EXPECT_EQ(std::string::npos, reason.find("json.exception")) << reason;
    refusal(R"({"a":1)");
    refusal(R"({"a":1} {"b":2})");
    refusal(R"({"a":1},)");
    refusal("{\"a\":\"\xFF\"}"); // not UTF-8
    refusal("");
}

TEST(Packet, ItemLimitCountsEveryRow) {
    const auto packet_of = [](std::size_t rows, std::size_t per_row) {
        std::string line = "[";
        for (std::size_t r = 0; r < rows; ++r) {
            line += r ? ",{" : "{";
            for (std::size_t i = 0; i < per_row; ++i)
                line += (i ? ",\"v" : "\"v") + std::to_string(i) + "\":" + std::to_string(i);
            line += "}";
        }
        return line + "]";
    };
    EXPECT_EQ(100000u, parsed(packet_of(1, 100000)).item_count());
    EXPECT_EQ(10u, parse_packet_line(packet_of(2, 5), 10).packet->item_count());
    EXPECT_EQ("more than 10 items in one packet", parse_packet_line(packet_of(2, 6), 10).error);
}

TEST(Packet, NumberFieldTakesTheFirstItemOfThatName) {
    const Packet packet = parsed(R"([{"a":1},{"Time":12.5,"time":99},{"TIME":7}])");
    EXPECT_EQ(12.5, number_field(packet, "time"));
    EXPECT_EQ(1.0, number_field(packet, "A"));
    EXPECT_FALSE(number_field(packet, "missing"));
    EXPECT_FALSE(number_field(parsed(R"({"t":"12"})"), "t")) << "text is not a clock value";
    EXPECT_FALSE(number_field(parsed(R"({"t":null,"t":3})"), "t"));
}

// A reader that reuses one outcome from line to line once kept rows, items and texts of the
// line before: every line must read exactly as it reads alone.
TEST(Packet, ReusedOutcomeReadsEachLineAsAFreshOneDoes) {
    const std::vector<std::string> lines = {
        R"([{"a":"a long text that needs storage of its own","b":1},{"c":true},{"d":null}])",
        R"({"a":2.5})",
        R"({"b":"x","a":"another text longer than a short one"})",
        R"([{"x":1},{"pos":{"x":1}}])",
        R"([{},{"z":"t"}])",
        R"({"n":-3,"m":"s","o":false})",
        "",
    };
    PacketOutcome reused;
    for (const std::string& line : lines) {
        parse_packet_line(line, reused);
        const PacketOutcome fresh = parse_packet_line(line);
        EXPECT_EQ(fresh.packet, reused.packet) << line;
        EXPECT_EQ(fresh.error, reused.error) << line;
    }
}
