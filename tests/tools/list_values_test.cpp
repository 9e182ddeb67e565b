#include "kvrhost/core/record_output.h"
#include "kvrhost/list_values.h"

#include <gtest/gtest.h>

using namespace kvrhost;

namespace {

Packet packet_of(std::string_view line) {
    PacketOutcome outcome = parse_packet_line(line);
    EXPECT_TRUE(outcome.packet) << outcome.error;
    return outcome.packet.value_or(Packet{});
}

const kvr_params_list_item& item(const kvr_params_list& list, int index) {
    EXPECT_LT(index, list.Count);
    return *list.Items[index];
}

} // namespace

TEST(PacketList, ArrayBecomesRowsListWithTypedValuesAndClosedRowsObjectAPlainList) {
    const ListOutcome outcome = packet_list(packet_of(
        R"([{"Temp":20.5,"n":7,"big":3000000000,"s":"t\u00e9\u0000x","ok":true,"z":null},)"
        R"({"Hum":1}])"));
    ASSERT_TRUE(outcome.list) << outcome.error;
    const kvr_params_list& list = *outcome.list;
    EXPECT_TRUE(kvr_list_is_rows(&list));
    EXPECT_TRUE(kvr_list_is_alive(&list));
    ASSERT_EQ(9, list.Count);
    EXPECT_STREQ("Temp", item(list, 0).Name);
    EXPECT_STREQ("temp", item(list, 0).LowerName);
    EXPECT_EQ(VT_R8, item(list, 0).Value.vt);
    EXPECT_EQ(20.5, item(list, 0).Value.dblVal);
    EXPECT_EQ(VT_I4, item(list, 1).Value.vt);
    EXPECT_EQ(7, item(list, 1).Value.lVal);
    EXPECT_EQ(VT_R8, item(list, 2).Value.vt);
    EXPECT_EQ(3000000000.0, item(list, 2).Value.dblVal);
    ASSERT_EQ(VT_BSTR, item(list, 3).Value.vt);
    EXPECT_EQ(std::wstring(L"t\u00e9\0x", 4),
              std::wstring(item(list, 3).Value.bstrVal, SysStringLen(item(list, 3).Value.bstrVal)));
    EXPECT_EQ(VT_BOOL, item(list, 4).Value.vt);
    EXPECT_EQ(VARIANT_TRUE, item(list, 4).Value.boolVal);
    EXPECT_EQ(VT_NULL, item(list, 5).Value.vt);
    EXPECT_STREQ(KVR_ROW_SEPARATOR, item(list, 6).Name);
    EXPECT_EQ(VT_NULL, item(list, 6).Value.vt);
    EXPECT_STREQ("Hum", item(list, 7).Name);
    EXPECT_STREQ(KVR_ROW_SEPARATOR, item(list, 8).Name);

    const ListOutcome single = packet_list(packet_of(R"({"a":1,"b":"x"})"));
    ASSERT_TRUE(single.list);
    EXPECT_FALSE(kvr_list_is_rows(single.list.get())) << "one object is one open row";
    EXPECT_EQ(2, single.list->Count);
}

TEST(PacketList, ValuesComeBackAsTheyWent) {
    const Packet packet = packet_of(
        R"([{"Temp":20.5,"n":-7,"s":"\u20ac \"q\"","ok":false,"z":null},{"t\u00e9":""}])");
    const ListOutcome outcome = packet_list(packet);
    ASSERT_TRUE(outcome.list);
    EXPECT_EQ(packet.rows, split_records(list_items(*outcome.list)));
}

TEST(PacketList, NameWithoutAnsiFormIsRefused) {
    const Packet packet = packet_of("{\"smile\xF0\x9F\x98\x80\":1}");
    const ListOutcome outcome = packet_list(packet);
    if (GetACP() == CP_UTF8) {
        EXPECT_TRUE(outcome.list) << "a UTF-8 code page holds every name";
    } else {
        EXPECT_FALSE(outcome.list);
        EXPECT_NE(std::string::npos, outcome.error.find("ANSI code page")) << outcome.error;
    }
}
