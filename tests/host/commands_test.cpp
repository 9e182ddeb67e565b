#include "host_fixture.h"

#include <atomic>
#include <thread>

namespace {
class Commands : public ::testing::Test {
  protected:
    void SetUp() override { key = fresh_key(); }
    void TearDown() override { release(key); }
    uint32_t key = 0;
    HostWindow window;
};
} // namespace

TEST_F(Commands, CommandNamesAreCaseSensitive) {
    Call call(key);
    EXPECT_EQ(-2, call.command("load"));
    Call unknown(key);
    EXPECT_EQ(-2, unknown.command("NO-SUCH-COMMAND"));
}

TEST_F(Commands, LoadAndUnloadNest) {
    Plugin& p = Plugin::get();
    auto data_call = [&] {
        Call call(key);
        call.rec.ModuleTypes = KVR_MTT_FILTER;
        return p.ProcessData(&call.rec);
    };
    ASSERT_EQ(0, load(key, window.handle()));
    ASSERT_EQ(0, load(key, window.handle()));
    Call unload1(key);
    EXPECT_EQ(0, unload1.command("UNLOAD"));
    EXPECT_EQ(0, data_call()) << "still loaded after one of two UNLOADs";
    Call unload2(key);
    EXPECT_EQ(0, unload2.command("UNLOAD"));
    EXPECT_EQ(-1, data_call()) << "unloaded by the balancing UNLOAD";
    Call unload3(key);
    EXPECT_EQ(0, unload3.command("UNLOAD"));
    ASSERT_EQ(0, load(key, window.handle()));
    EXPECT_EQ(0, data_call()) << "LOAD after a surplus UNLOAD loads afresh";
}

TEST_F(Commands, SetItemsThenItemsRoundTrip) {
    Call set(key);
    set.text("ITEMS", "Full data packet|FULL_DATA_PACKET|string\r\n"
                      "Odd|ODD|nosuchtype|extra|ignored\n"
                      "no separators here\r"
                      "Temperature|Temp|float|");
    ASSERT_EQ(0, set.command("SET-ITEMS"));
    Call items(key);
    items.text("RESULT", "");
    ASSERT_EQ(0, items.command("ITEMS"));
    EXPECT_EQ(
        "Full data packet|FULL_DATA_PACKET|String|\r\nOdd|ODD||extra\r\nTemperature|Temp|Float|",
        items.value_text("RESULT"));
}

TEST_F(Commands, SetItemsRefusesANonTextValueAndKeepsTheOldItems) {
    Call set(key);
    set.text("ITEMS", "A|a|Integer");
    ASSERT_EQ(0, set.command("SET-ITEMS"));
    Call wrong(key);
    wrong.integer("ITEMS", 5);
    EXPECT_EQ(-1, wrong.command("SET-ITEMS"));
    Call items(key);
    items.text("RESULT", "");
    ASSERT_EQ(0, items.command("ITEMS"));
    EXPECT_EQ("A|a|Integer|", items.value_text("RESULT"));
}

TEST_F(Commands, ItemsWithoutResultItemAnswersMinusOne) {
    Call items(key);
    EXPECT_EQ(-1, items.command("ITEMS"));
}

TEST_F(Commands, SetStateNeedsResult) {
    Call state(key);
    state.text("DATA-SOURCES-IN-CFG", "3;  Station  ;Full name\r\nx;bad;line");
    EXPECT_EQ(-1, state.command("SET-STATE"));
    Call on(key);
    on.rec.ModuleTypes = KVR_MTT_FILTER;
    on.integer("RESULT", 1);
    EXPECT_EQ(0, on.command("SET-STATE"));
}

TEST_F(Commands, EventsSupportWritesOnlyAnExistingResult) {
    Call with(key);
    with.text("RESULT", "old");
    EXPECT_EQ(0, with.command("EVENTS-SUPPORT"));
    EXPECT_EQ("", with.value_text("RESULT"));
    Call without(key);
    EXPECT_EQ(0, without.command("EVENTS-SUPPORT"));
    EXPECT_EQ(nullptr, kvr_list_find(without.params, "RESULT"));
}

TEST_F(Commands, EventNeedsAnEventType) {
    Call none(key);
    EXPECT_EQ(-1, none.command("EVENT"));
    Call some(key);
    some.text("EVENT-TYPE", "START");
    EXPECT_EQ(0, some.command("EVENT"));
}

TEST_F(Commands, SettingsCommandsAnswerMinusTwo) {
    Call save(key);
    save.text("INI-FILE", "C:\\nowhere\\x.ini");
    EXPECT_EQ(-2, save.command("SAVE-SETTINGS-NOW"));
    Call reload(key);
    EXPECT_EQ(-2, reload.command("LOAD-SETTINGS-NOW"));
}

TEST_F(Commands, CommandsFromOneThreadWhileDataCallsRunOnTwoOthers) {
    Plugin& p = Plugin::get();
    ASSERT_EQ(0, load(key, window.handle()));
    std::atomic<bool> stop{false};
    std::atomic<int> failures{0};
    auto data_worker = [&] {
        while (!stop) {
            Call call(key);
            kvr_params_list* packet = kvr_list_new(0);
            kvr_list_add_double(packet, "Temp", 21.5);
            call.rec.ModuleTypes = KVR_MTT_FILTER;
            call.rec.DataKind = KVR_DATAKIND_PARAMS_LIST;
            call.rec.Data = packet;
            if (p.ProcessData(&call.rec) < 0) ++failures;
            kvr_list_free(packet);
        }
    };
    std::thread first(data_worker), second(data_worker);
    const DWORD start = GetTickCount();
    int answered = 0;
    while (GetTickCount() - start < 3000) {
        Call items(key);
        items.text("RESULT", "");
        if (items.command("ITEMS") == 0) ++answered;
        Call state(key);
        state.integer("RESULT", 1);
        state.rec.ModuleTypes = KVR_MTT_FILTER;
        if (state.command("SET-STATE") == 0) ++answered;
    }
    stop = true;
    first.join();
    second.join();
    EXPECT_GT(answered, 0);
    EXPECT_EQ(0, failures);
}
