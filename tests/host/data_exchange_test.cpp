#include "host_fixture.h"

#include <thread>

namespace {
class DataExchange : public ::testing::Test {
  protected:
    void SetUp() override {
        key = fresh_key();
        ASSERT_EQ(0, load(key, window.handle()));
    }
    void TearDown() override { release(key); }
    uint32_t key = 0;
    HostWindow window;
};
} // namespace

TEST_F(DataExchange, NoRolesRunsNothingAndClearsData) {
    Call call(key);
    kvr_params_list* packet = kvr_list_new(0);
    kvr_list_add_int(packet, "Temp", 1);
    call.rec.DataKind = KVR_DATAKIND_PARAMS_LIST;
    call.rec.Data = packet;
    call.rec.ResultKind = 9;
    call.rec.ResultValue = 9;
    EXPECT_EQ(0, Plugin::get().ProcessData(&call.rec));
    EXPECT_EQ(nullptr, call.rec.Data);
    EXPECT_EQ(0, call.rec.ResultKind);
    EXPECT_EQ(0, call.rec.ResultValue);
    kvr_list_free(packet);
}

TEST_F(DataExchange, ExportCallWithoutDataSendsNoDataMessage) {
    Call call(key);
    call.rec.ModuleTypes = KVR_MTT_DATA_EXPORT;
    EXPECT_EQ(0, Plugin::get().ProcessData(&call.rec));
    const auto& messages = window.messages();
    ASSERT_EQ(1u, messages.size());
    EXPECT_EQ(UINT(WM_COPYDATA), messages[0].message);
    EXPECT_EQ(KVR_COPYDATA_LOG_LINE, messages[0].copy_kind);
    EXPECT_EQ("\x02"
              "Aggregation. No data for processing",
              messages[0].text);
}

TEST_F(DataExchange, ExportRowsListGetsItsLastRowClosed) {
    kvr_params_list* rows = kvr_list_new(1);
    kvr_list_add_int(rows, "Temp", 1);
    Call call(key);
    call.rec.ModuleTypes = KVR_MTT_DATA_EXPORT;
    call.rec.DataKind = KVR_DATAKIND_PARAMS_LIST;
    call.rec.Data = rows;
    EXPECT_EQ(0, Plugin::get().ProcessData(&call.rec));
    ASSERT_EQ(2, rows->Count);
    EXPECT_STREQ(KVR_ROW_SEPARATOR, rows->Items[1]->Name);
    call.rec.Data = rows;
    EXPECT_EQ(0, Plugin::get().ProcessData(&call.rec));
    EXPECT_EQ(2, rows->Count) << "a closed row is left alone";
    kvr_list_free(rows);
}

TEST_F(DataExchange, DataCallOnUnloadedInstanceReturnsAtOnce) {
    Call unload(key);
    ASSERT_EQ(0, unload.command("UNLOAD"));
    Call call(key);
    call.rec.ModuleTypes = KVR_MTT_FILTER;
    const DWORD start = GetTickCount();
    EXPECT_EQ(-1, Plugin::get().ProcessData(&call.rec));
    EXPECT_EQ(-1, Plugin::get().GetData(&call.rec));
    EXPECT_EQ(-1, Plugin::get().GetEvents(&call.rec));
    EXPECT_LT(GetTickCount() - start, 5000u) << "no 30 s wait for an idle unloaded instance";
}

TEST_F(DataExchange, GetEventsHandsOverAndClearsOnAcknowledgement) {
    Call call(key);
    call.rec.ModuleTypes = KVR_MTT_FILTER;
    ASSERT_EQ(0, Plugin::get().GetEvents(&call.rec));
    ASSERT_EQ(KVR_RESULTKIND_ROWS_LIST, call.rec.ResultKind);
    auto* events = reinterpret_cast<kvr_params_list*>(call.rec.ResultValue);
    ASSERT_NE(nullptr, events);
    EXPECT_TRUE(kvr_list_is_rows(events));
    Call again(key);
    again.rec.ResultValue = 12345;
    ASSERT_EQ(0, Plugin::get().GetEvents(&again.rec));
    EXPECT_EQ(call.rec.ResultValue, again.rec.ResultValue)
        << "a different pointer gets the list again";
    Call ack(key);
    ack.rec.ResultValue = call.rec.ResultValue;
    ack.rec.ResultKind = 0;
    ASSERT_EQ(0, Plugin::get().GetEvents(&ack.rec));
    EXPECT_EQ(0, ack.rec.ResultKind) << "acknowledged: the list is cleared, not handed out";
}

TEST_F(DataExchange, GetDataWithoutHandlerReturnsNothing) {
    Call call(key);
    call.rec.ModuleTypes = KVR_MTT_DATA_QUERY;
    int dummy = 0;
    call.rec.Data = &dummy;
    EXPECT_EQ(0, Plugin::get().GetData(&call.rec));
    EXPECT_EQ(nullptr, call.rec.Data);
}

// A data call waits while the instance is both busy and unloaded, and runs the thread's window
// messages meanwhile; a quit message among them is the host's and stays in its queue.
TEST_F(DataExchange, WaitForABusyUnloadedInstancePassesAQuitMessageOn) {
    // The module gives up at once on a window whose thread has not looked at its messages for a
    // few seconds (an earlier test may have kept this thread busy that long): look now.
    MSG pending;
    PeekMessageA(&pending, nullptr, 0, 0, PM_NOREMOVE);
    // An export call without data sends its log line to this thread's window: it stays busy
    // until this thread runs its messages.
    std::thread busy([&] {
        Call call(key);
        call.rec.ModuleTypes = KVR_MTT_DATA_EXPORT;
        Plugin::get().ProcessData(&call.rec);
    });
    const DWORD start = GetTickCount();
    while (!(HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) &&
           GetTickCount() - start < 10000)
        Sleep(1);
    if (!(HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE)) {
        busy.join();
        FAIL() << "the export call sent no log line to this thread's window";
    }
    Call unload(key);
    ASSERT_EQ(0, unload.command("UNLOAD"));
    PostQuitMessage(7);
    Call call(key);
    call.rec.ModuleTypes = KVR_MTT_FILTER;
    EXPECT_EQ(-1, Plugin::get().ProcessData(&call.rec));
    busy.join();
    MSG quit;
    ASSERT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(7u, quit.wParam);
}
