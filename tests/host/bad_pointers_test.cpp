// A host that hands over pointers that are not what they claim: every entry point gives its
// failure answer instead of ending the process, and a fault in the middle of a call leaves
// nothing behind that blocks later calls (locks, the command count).

#include "host_fixture.h"

#include <atomic>
#include <thread>

namespace {

class BadPointers : public ::testing::Test {
  protected:
    void SetUp() override { key = fresh_key(); }
    void TearDown() override { release(key); }
    // Appends an item pointer to a list as a broken host would; drop_last takes it out again
    // before the list is freed.
    static void append_raw(kvr_params_list* list, void* item) {
        kvr_list_append_item(list, static_cast<kvr_params_list_item*>(item));
    }
    static void drop_last(kvr_params_list* list) { --list->Count; }
    // Gives an item a text in the forbidden page; forget_value takes it out again.
    void give_forbidden_text(kvr_params_list_item* item) const {
        item->Value = page.forbidden_text();
    }
    static void forget_value(kvr_params_list_item* item) { VariantInit(&item->Value); }
    uint32_t key = 0;
    ForbiddenPage page;
};

} // namespace

TEST_F(BadPointers, RecordsThatCannotBeReadGetEachEntryPointsFailureAnswer) {
    Plugin& p = Plugin::get();
    auto* rec = reinterpret_cast<PPluginCallRec>(page.forbidden());
    EXPECT_EQ(-1.0f, p.GetAppMinVersion(rec));
    EXPECT_EQ(nullptr, p.GetModuleDescription(rec));
    EXPECT_EQ(0u, p.GetModuleType(rec));
    EXPECT_EQ(0, p.MultiThreadSupport(rec));
    EXPECT_EQ(0, p.GetCustomCommands(rec));
    EXPECT_EQ(0, p.GetLogEx(rec));
    p.ShowOptionsDialog(rec);
    EXPECT_EQ(-3, p.ExecutePluginCommand(rec));
    EXPECT_EQ(-3, p.GetData(rec));
    EXPECT_EQ(-3, p.GetEvents(rec));
    EXPECT_EQ(-3, p.ProcessData(rec));

    // A record cut short by the forbidden page: its first 20 bytes are readable. Looking up
    // an instance that exists reads nothing beyond the key.
    Call existing(key);
    ASSERT_EQ(KVR_MTT_FILTER, p.GetModuleType(&existing.rec));
    auto* cut = reinterpret_cast<PPluginCallRec>(page.usable_end(20));
    cut->Signature = KVR_CALL_SIGNATURE;
    cut->CallMode = 0;
    cut->InstanceKey = key;
    EXPECT_EQ(KVR_MTT_FILTER, p.GetModuleType(cut));
    EXPECT_EQ(-3, p.ExecutePluginCommand(cut));
    EXPECT_EQ(-3, p.ProcessData(cut));
}

TEST_F(BadPointers, CommandListsThatAreNotWhatTheyClaimAnswerMinusThree) {
    HostWindow window;
    ASSERT_EQ(0, load(key, window.handle()));
    Plugin& p = Plugin::get();
    {
        Call call(key);
        call.rec.Params = reinterpret_cast<kvr_params_list*>(page.forbidden());
        EXPECT_EQ(-3, p.ExecutePluginCommand(&call.rec)) << "a list in forbidden memory";
    }
    {
        Call call(key);
        call.text("COMMAND", "ITEMS");
        kvr_params_list_item** items = call.params->Items;
        call.params->Items = reinterpret_cast<kvr_params_list_item**>(page.forbidden());
        EXPECT_EQ(-3, p.ExecutePluginCommand(&call.rec)) << "an item array in forbidden memory";
        call.params->Items = items;
    }
    {
        Call call(key);
        call.text("COMMAND", "ITEMS");
        append_raw(call.params, page.forbidden());
        EXPECT_EQ(-3, p.ExecutePluginCommand(&call.rec)) << "an item in forbidden memory";
        drop_last(call.params);
    }
    {
        Call call(key);
        kvr_params_list_item* item = kvr_list_add_int(call.params, "X", 1);
        char* lower = item->LowerName;
        item->LowerName = page.forbidden() + 8;
        EXPECT_EQ(-3, call.command("ITEMS")) << "a name in forbidden memory";
        item->LowerName = lower;
    }
    {
        Call call(key);
        kvr_params_list_item* command = kvr_list_add_null(call.params, "COMMAND");
        give_forbidden_text(command);
        EXPECT_EQ(-3, p.ExecutePluginCommand(&call.rec)) << "a command text in forbidden memory";
        forget_value(command);
    }
    Call items(key);
    items.text("RESULT", "");
    EXPECT_EQ(0, items.command("ITEMS")) << "the instance still serves commands";
}

// The fault strikes inside the command, where its lock is held and it counts as running.
TEST_F(BadPointers, FaultInsideACommandLeavesItsLockFreeAndNoCommandRunning) {
    HostWindow window;
    ASSERT_EQ(0, load(key, window.handle()));
    Call faulting(key);
    kvr_params_list_item* language = kvr_list_add_null(faulting.params, "LANGUAGE");
    give_forbidden_text(language);
    EXPECT_EQ(-3, faulting.command("SET-STATE"));
    forget_value(language);

    Call same_thread(key);
    same_thread.integer("RESULT", 1);
    EXPECT_EQ(0, same_thread.command("SET-STATE")) << "not refused as a nested command";
    int32_t other_thread_result = 1;
    std::thread([&] {
        Call call(key);
        call.integer("RESULT", 0);
        other_thread_result = call.command("SET-STATE");
    }).join();
    EXPECT_EQ(0, other_thread_result) << "the command lock was given back";
}

// The copy into the host's buffer faults half way, while the log's lock is held.
TEST_F(BadPointers, LogFetchIntoABufferShorterThanItClaimsKeepsTheLines) {
    HostWindow window;
    ASSERT_EQ(0, load(key, window.handle()));
    Call failing(key);
    failing.text("RESULT", "not a number");
    ASSERT_EQ(-3, failing.command("SET-STATE")); // queues one report line

    Call fetch(key);
    fetch.rec.Data = page.usable_end(8);
    fetch.rec.BufferSize = 4096;
    EXPECT_EQ(0, Plugin::get().GetLogEx(&fetch.rec));

    std::string text;
    std::thread([&] {
        std::vector<char> buffer(4096);
        Call call(key);
        call.rec.Data = buffer.data();
        call.rec.BufferSize = int32_t(buffer.size());
        const int32_t copied = Plugin::get().GetLogEx(&call.rec);
        text.assign(buffer.data(), size_t(copied > 0 ? copied : 0));
    }).join();
    EXPECT_EQ(0u, text.find("\x01"
                            "Aggregation. EConvertError: "))
        << text;
}

TEST_F(BadPointers, DataCallsWithDataThatIsNotWhatItClaimsAnswerMinusThree) {
    HostWindow window;
    ASSERT_EQ(0, load(key, window.handle()));
    Call call(key);
    call.rec.ModuleTypes = KVR_MTT_FILTER;
    call.rec.DataKind = KVR_DATAKIND_PARAMS_LIST;
    call.rec.Data = page.forbidden();
    EXPECT_EQ(-3, Plugin::get().ProcessData(&call.rec)) << "a list in forbidden memory";

    kvr_params_list* rows = kvr_list_new(1);
    kvr_list_add_int(rows, "Temp", 1);
    const kvr_class_descriptor* rows_class = rows->Class;
    rows->Class = reinterpret_cast<const kvr_class_descriptor*>(page.forbidden());
    call.rec.ModuleTypes = KVR_MTT_DATA_EXPORT;
    call.rec.Data = rows;
    EXPECT_EQ(-3, Plugin::get().ProcessData(&call.rec)) << "a class record in forbidden memory";
    rows->Class = rows_class;
    call.rec.Data = rows;
    EXPECT_EQ(0, Plugin::get().ProcessData(&call.rec));
    kvr_list_free(rows);
}

namespace {
// A host window that, when the module sends it a log line, calls the module back with a record
// in forbidden memory: a fault in a call nested inside another call of the module.
std::atomic<int32_t> g_nested_result{1};
char* g_forbidden = nullptr;

LRESULT CALLBACK call_back_with_a_bad_record(HWND window, UINT message, WPARAM wparam,
                                             LPARAM lparam) {
    if (message == WM_COPYDATA) {
        g_nested_result =
            Plugin::get().ExecutePluginCommand(reinterpret_cast<PPluginCallRec>(g_forbidden));
        return TRUE;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}
} // namespace

// A fault in a call that the host makes from inside another call of the module (here, while it
// takes the module's log line) ends the inner call only: the outer one answers as usual.
TEST_F(BadPointers, FaultInACallNestedInAnotherEndsOnlyTheInnerCall) {
    WNDCLASSA window_class{};
    window_class.lpfnWndProc = call_back_with_a_bad_record;
    window_class.hInstance = GetModuleHandleA(nullptr);
    window_class.lpszClassName = "KvrNestedFaultWindow";
    RegisterClassA(&window_class);
    HWND window = CreateWindowExA(0, window_class.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                  nullptr, window_class.hInstance, nullptr);
    g_forbidden = page.forbidden();
    ASSERT_EQ(0, load(key, window));

    Call outer(key);
    outer.rec.ModuleTypes = KVR_MTT_DATA_EXPORT; // no data: a log line goes to the window
    EXPECT_EQ(0, Plugin::get().ProcessData(&outer.rec));
    EXPECT_EQ(-3, g_nested_result.load()) << "the nested call faulted";
    Call items(key);
    items.text("RESULT", "");
    EXPECT_EQ(0, items.command("ITEMS"));
    DestroyWindow(window);
}

// The options dialog reads the host's list under the command lock; a fault there gives the
// lock back, so a command from another thread still runs (bounded here, so that a lock kept by
// mistake fails the test instead of hanging it).
TEST_F(BadPointers, FaultReadingTheOptionsDialogsListLeavesTheCommandLockFree) {
    HostWindow window;
    ASSERT_EQ(0, load(key, window.handle()));
    Call dialog(key);
    kvr_params_list_item* ini = kvr_list_add_null(dialog.params, "INI-FILE");
    give_forbidden_text(ini);
    Plugin::get().ShowOptionsDialog(&dialog.rec);
    forget_value(ini);
    EXPECT_NE(1, dialog.rec.ResultValue) << "not reported as accepted";

    std::atomic<int32_t> other_thread_result{1};
    std::atomic<bool> done{false};
    std::thread other([&] {
        Call call(key);
        call.integer("RESULT", 0);
        other_thread_result = call.command("SET-STATE");
        done = true;
    });
    for (int waited = 0; !done && waited < 10000; waited += 10)
        Sleep(10);
    if (!done) {
        other.detach();
        FAIL() << "a command on another thread waits for the command lock";
    }
    other.join();
    EXPECT_EQ(0, other_thread_result.load());
}
