#include "kvrhost/core/record_output.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <sstream>

using namespace kvrhost;

namespace {
NamedValue separator() {
    return {std::string(kRowSeparator), Null{}};
}
} // namespace

TEST(SplitRecords, RowSeparatorsEndRecordsAndEmptyRowsGiveNone) {
    const auto records = split_records({separator(),
                                        {"Temp", 20.5},
                                        {"Hum", std::int32_t(40)},
                                        separator(),
                                        separator(),
                                        {"Temp", 21.0}});
    ASSERT_EQ(2u, records.size());
    EXPECT_EQ((Record{{"Temp", 20.5}, {"Hum", std::int32_t(40)}}), records[0]);
    EXPECT_EQ((Record{{"Temp", 21.0}}), records[1]) << "an open last row is a record too";
    EXPECT_TRUE(split_records({separator()}).empty());
}

TEST(RecordJson, KeepsOrderKindsAndRepeatedNames) {
    const Record record = {{"Temp", 20.5},
                           {"Hum", 40.0},
                           {"n", std::int32_t(-7)},
                           {"ok", false},
                           {"gone", Null{}},
                           {"Temp", std::string("x")},
                           {"q\"\n", std::string("\xE2\x82\xAC\t")}};
    EXPECT_EQ(R"({"Temp":20.5,"Hum":40.0,"n":-7,"ok":false,"gone":null,"Temp":"x",)"
              "\"q\\\"\\n\":\"\xE2\x82\xAC\\t\"}",
              record_json(record));
    EXPECT_EQ("{}", record_json({}));
}

TEST(RecordJson, NumbersReadBackAsTheSameNumbers) {
    for (const double value : {0.1, 1.0 / 3.0, 1e300, -2.5e-308, 123456789.0}) {
        const auto parsed = nlohmann::json::parse(record_json({{"v", value}}));
        EXPECT_TRUE(parsed["v"].is_number_float()) << value;
        EXPECT_EQ(value, parsed["v"].get<double>());
    }
    EXPECT_EQ(R"({"v":null})", record_json({{"v", std::numeric_limits<double>::infinity()}}));
}

TEST(RecordJson, BrokenUtf8IsReplacedNotPassedOn) {
    const std::string text = record_json({{"v", std::string("a\xFF")}});
    EXPECT_EQ("a\xEF\xBF\xBD", nlohmann::json::parse(text)["v"].get<std::string>()) << text;
}

TEST(CsvField, QuotesOnlyWhatNeedsQuoting) {
    EXPECT_EQ("plain text", csv_field(std::string("plain text")));
    EXPECT_EQ("\"a,b\"", csv_field(std::string("a,b")));
    EXPECT_EQ("\"say \"\"hi\"\"\"", csv_field(std::string("say \"hi\"")));
    EXPECT_EQ("\"two\r\nlines\"", csv_field(std::string("two\r\nlines")));
    EXPECT_EQ("\"\"", csv_field(std::string()));
    EXPECT_EQ("", csv_field(Null{}));
    EXPECT_EQ("true", csv_field(true));
    EXPECT_EQ("-3", csv_field(std::int32_t(-3)));
    EXPECT_EQ("40.0", csv_field(40.0));
    EXPECT_EQ("", csv_field(std::numeric_limits<double>::quiet_NaN()));
}

TEST(CsvWriter, HeaderComesFromTheFirstRecordAndLaterRecordsFollowItByName) {
    std::ostringstream out;
    CsvWriter writer(out);
    EXPECT_TRUE(writer.write({{"Temp", 20.5}, {"Date, local", std::string("d1")}}).empty());
    EXPECT_TRUE(writer.write({{"date, LOCAL", std::string("d2")}, {"TEMP", 21.0}}).empty());
    EXPECT_EQ(std::vector<std::string>{"Hum"},
              writer.write({{"Hum", std::int32_t(1)}, {"Temp", Null{}}}));
    EXPECT_EQ(std::vector<std::string>{"Hum"}, writer.write({{"Hum", std::int32_t(2)}}));
    EXPECT_EQ("Temp,\"Date, local\"\r\n"
              "20.5,d1\r\n"
              "21.0,d2\r\n"
              ",\r\n"
              ",\r\n",
              out.str());
}

TEST(CsvWriter, RepeatedNamesFillTheirColumnsInOrder) {
    std::ostringstream out;
    CsvWriter writer(out);
    writer.write({{"a", std::int32_t(1)}, {"a", std::int32_t(2)}});
    EXPECT_EQ(std::vector<std::string>{},
              writer.write({{"A", std::int32_t(3)}, {"a", std::int32_t(4)}}));
    EXPECT_EQ("a,a\r\n1,2\r\n3,4\r\n", out.str());
}
