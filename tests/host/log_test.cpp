#include "host_fixture.h"

#include <atomic>
#include <thread>

namespace {
class Log : public ::testing::Test {
  protected:
    void SetUp() override {
        key = fresh_key();
        ASSERT_EQ(0, load(key, window.handle()));
    }
    void TearDown() override { release(key); }
    // A failing command queues one exception line (type 0) and posts 1809.
    void queue_exception_line() {
        Call call(key);
        kvr_list_add_text(call.params, "RESULT", "not a number");
        EXPECT_EQ(-3, call.command("SET-STATE"));
    }
    int32_t fetch(int32_t buffer_size, std::string* text = nullptr, int32_t* needed = nullptr) {
        std::vector<char> buffer(size_t(buffer_size > 0 ? buffer_size : 1));
        Call call(key);
        call.rec.BufferSize = buffer_size;
        call.rec.Data = buffer.data();
        const int32_t copied = Plugin::get().GetLogEx(&call.rec);
        EXPECT_EQ(KVR_RESULTKIND_VALUE, call.rec.ResultKind);
        if (needed) *needed = call.rec.ResultValue;
        if (text) text->assign(buffer.data(), size_t(copied > 0 ? copied : 0));
        return copied;
    }
    uint32_t key = 0;
    HostWindow window;
};
} // namespace

TEST_F(Log, FailedCommandQueuesAReportLineAndNotifies) {
    queue_exception_line();
    int notifications = 0;
    for (const auto& m : window.messages())
        if (m.message == KVR_MSG_LOG_NOTIFY && m.wparam == 7) ++notifications;
    EXPECT_EQ(1, notifications);
    std::string text;
    const int32_t copied = fetch(4096, &text);
    ASSERT_GT(copied, 0);
    EXPECT_EQ('\x01', text[0]);
    EXPECT_EQ(0u, text.find("\x01"
                            "Aggregation. EConvertError: "));
    EXPECT_EQ("\r\n", text.substr(text.size() - 2));
    EXPECT_EQ(std::string::npos, text.substr(0, text.size() - 2).find_first_of("\r\n"));
    EXPECT_EQ(0, fetch(4096)) << "fetched lines are gone";
}

TEST_F(Log, TooSmallBufferKeepsLinesAndTellsTheSize) {
    queue_exception_line();
    int32_t needed = 0;
    EXPECT_EQ(0, fetch(10, nullptr, &needed));
    EXPECT_GT(needed, 10);
    EXPECT_EQ(needed, fetch(needed));
}

TEST_F(Log, ZeroBufferDiscardsTheLines) {
    queue_exception_line();
    EXPECT_EQ(0, fetch(0));
    int32_t needed = -1;
    EXPECT_EQ(0, fetch(4096, nullptr, &needed));
    EXPECT_EQ(0, needed);
}

TEST_F(Log, QueueKeepsTheNewestHundredLines) {
    for (int i = 0; i < 150; ++i)
        queue_exception_line();
    int notifications = 0;
    for (const auto& m : window.messages())
        if (m.message == KVR_MSG_LOG_NOTIFY) ++notifications;
    EXPECT_EQ(150, notifications);
    std::string text;
    ASSERT_GT(fetch(1 << 20, &text), 0);
    size_t lines = 0;
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2))
        ++lines;
    EXPECT_EQ(100u, lines);
}

TEST_F(Log, NoHostWindowDropsLines) {
    const uint32_t quiet = fresh_key();
    Call call(quiet);
    ASSERT_EQ(0, call.command("LOAD")); // no MessagesProcessorHandle
    Call failing(quiet);
    failing.text("RESULT", "not a number");
    EXPECT_EQ(-3, failing.command("SET-STATE"));
    Call fetch_call(quiet);
    char buffer[256];
    fetch_call.rec.BufferSize = sizeof buffer;
    fetch_call.rec.Data = buffer;
    EXPECT_EQ(0, Plugin::get().GetLogEx(&fetch_call.rec));
    EXPECT_EQ(0, fetch_call.rec.ResultValue);
    release(quiet);
}

TEST_F(Log, CustomCommandsOfAModuleWithoutMenuRoleAreEmpty) {
    Call call(key);
    char buffer[64];
    call.rec.BufferSize = sizeof buffer;
    call.rec.Data = buffer;
    call.rec.ResultValue = 99;
    EXPECT_EQ(0, Plugin::get().GetCustomCommands(&call.rec));
    EXPECT_EQ(0, call.rec.ResultValue);
    EXPECT_EQ(KVR_RESULTKIND_VALUE, call.rec.ResultKind);
}

TEST(LogHungWindow, DataCallGivesUpOnAWindowThatDoesNotAnswerAndQueuesTheLine) {
    // The host window belongs to a thread that stops pumping messages for a while.
    std::atomic<HWND> hung{nullptr};
    std::atomic<bool> release_thread{false};
    std::thread owner([&] {
        HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      GetModuleHandleA(nullptr), nullptr);
        hung = window;
        while (!release_thread)
            Sleep(10); // no message pumping: the window does not answer
        DestroyWindow(window);
    });
    while (!hung)
        Sleep(1);
    const uint32_t key = fresh_key();
    ASSERT_EQ(0, load(key, hung));
    Call call(key);
    call.rec.ModuleTypes = KVR_MTT_DATA_EXPORT; // no data: the module sends "No data"
    const DWORD start = GetTickCount();
    EXPECT_EQ(0, Plugin::get().ProcessData(&call.rec));
    const DWORD elapsed = GetTickCount() - start;
    // The module gives up after its 1000 ms limit; a generous bound only catches hanging.
    EXPECT_LT(elapsed, 15000u);
    release_thread = true;
    owner.join();
    char buffer[512];
    Call fetch(key);
    fetch.rec.BufferSize = sizeof buffer;
    fetch.rec.Data = buffer;
    const int32_t copied = Plugin::get().GetLogEx(&fetch.rec);
    ASSERT_GT(copied, 0);
    EXPECT_EQ("\x02"
              "Aggregation. No data for processing\r\n",
              std::string(buffer, size_t(copied)));
    release(key);
}
