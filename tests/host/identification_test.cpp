#include "host_fixture.h"

#include <atomic>
#include <thread>

TEST(Identification, ModuleAnswersItsIdentity) {
    Plugin& p = Plugin::get();
    EXPECT_EQ(4u, p.GetPluginIntfVersion());
    const uint32_t key = fresh_key();
    Call call(key);
    EXPECT_EQ(0x20u, p.GetModuleType(&call.rec));
    EXPECT_EQ(1, p.MultiThreadSupport(&call.rec));
    EXPECT_FLOAT_EQ(4.0f, p.GetAppMinVersion(&call.rec));
    ASSERT_NE(nullptr, p.GetModuleDescription(&call.rec));
    EXPECT_STREQ("Aggregation", p.GetModuleDescription(&call.rec));
    release(key);
}

TEST(Identification, KeyZeroAndNullRecordGetTheNoInstanceAnswers) {
    Plugin& p = Plugin::get();
    Call call(0);
    EXPECT_EQ(0u, p.GetModuleType(&call.rec));
    EXPECT_EQ(0, p.MultiThreadSupport(&call.rec));
    EXPECT_FLOAT_EQ(-1.0f, p.GetAppMinVersion(&call.rec));
    EXPECT_EQ(nullptr, p.GetModuleDescription(&call.rec));
    EXPECT_EQ(-1, p.ExecutePluginCommand(&call.rec));
    EXPECT_EQ(-1, p.ProcessData(&call.rec));
    EXPECT_EQ(0u, p.GetModuleType(nullptr));
    EXPECT_EQ(nullptr, p.GetModuleDescription(nullptr));
    EXPECT_EQ(-1, p.ExecutePluginCommand(nullptr));
    EXPECT_EQ(-1, p.GetData(nullptr));
    EXPECT_EQ(-1, p.GetEvents(nullptr));
    EXPECT_EQ(0, p.GetLogEx(nullptr));
    p.ShowOptionsDialog(nullptr); // must simply return
}

TEST(Identification, WrongSignatureRefusedByCommandsButServedByQueries) {
    Plugin& p = Plugin::get();
    const uint32_t key = fresh_key();
    Call call(key);
    call.rec.Signature = 101;
    kvr_list_add_text(call.params, "COMMAND", "LOAD");
    EXPECT_EQ(-1, p.ExecutePluginCommand(&call.rec));
    EXPECT_EQ(-1, p.ProcessData(&call.rec));
    EXPECT_EQ(-1, p.GetData(&call.rec));
    EXPECT_EQ(0x20u, p.GetModuleType(&call.rec));
    release(key);
}

TEST(Identification, NullParamsRefusedUnlessReleasing) {
    Plugin& p = Plugin::get();
    const uint32_t key = fresh_key();
    Call call(key);
    ASSERT_EQ(0x20u, p.GetModuleType(&call.rec)); // creates the instance
    const char* description = p.GetModuleDescription(&call.rec);
    call.rec.Params = nullptr;
    EXPECT_EQ(-1, p.ExecutePluginCommand(&call.rec));
    call.rec.CallMode = KVR_CALLMODE_RELEASE;
    EXPECT_EQ(-1, p.ExecutePluginCommand(&call.rec)); // releases, then has no instance
    call.rec.CallMode = 0;
    call.rec.Params = call.params;
    // A fresh instance is made for the same key: it is not loaded, so data calls are
    // served by the guard (ModuleTypes 0 returns 0 at once).
    EXPECT_EQ(0, p.ProcessData(&call.rec));
    (void)description;
    release(key);
}

TEST(Identification, WrongListTagAnswersMinusThree) {
    Plugin& p = Plugin::get();
    const uint32_t key = fresh_key();
    Call call(key);
    kvr_list_add_text(call.params, "COMMAND", "LOAD");
    call.params->Magic = 0x12345678;
    EXPECT_EQ(-3, p.ExecutePluginCommand(&call.rec));
    EXPECT_EQ(-3, p.ProcessData(&call.rec));
    call.params->Magic = KVR_PARAMS_MAGIC;
    release(key);
}

TEST(Identification, MissingCommandAnswersMinusOne) {
    Plugin& p = Plugin::get();
    const uint32_t key = fresh_key();
    Call call(key);
    EXPECT_EQ(-1, p.ExecutePluginCommand(&call.rec));
    kvr_list_add_null(call.params, "COMMAND");
    EXPECT_EQ(-1, p.ExecutePluginCommand(&call.rec));
    release(key);
}

TEST(Instances, KeysMapToInstancesAndReleaseMakesAFreshOne) {
    Plugin& p = Plugin::get();
    HostWindow window;
    const uint32_t a = fresh_key(), b = fresh_key();
    auto data_call = [&](uint32_t key) {
        Call call(key);
        call.rec.ModuleTypes = KVR_MTT_FILTER;
        return p.ProcessData(&call.rec);
    };
    // An unloaded instance refuses data calls, so the answer tells which instance we reach.
    ASSERT_EQ(0, load(a, window.handle()));
    Call unload_a(a);
    ASSERT_EQ(0, unload_a.command("UNLOAD"));
    EXPECT_EQ(0, data_call(b)) << "b is another instance, never loaded";
    EXPECT_EQ(-1, data_call(a)) << "a third call with a's key finds a";
    release(a);
    EXPECT_EQ(0, data_call(a)) << "after the release the key makes a fresh instance";
    release(a);
    release(b);
}

TEST(Instances, LibraryUnloadCallHasNoInstance) {
    Plugin& p = Plugin::get();
    Call call(fresh_key());
    call.rec.CallMode = KVR_CALLMODE_LIBRARY_UNLOAD;
    EXPECT_EQ(0u, p.GetModuleType(&call.rec));
    EXPECT_EQ(-1, p.ExecutePluginCommand(&call.rec));
}

TEST(Instances, SimultaneousFirstCallsWithOneKeyMakeOneInstance) {
    Plugin& p = Plugin::get();
    for (int round = 0; round < 20; ++round) {
        const uint32_t key = fresh_key();
        constexpr int kThreads = 8;
        const char* seen[kThreads] = {};
        std::atomic<bool> go{false};
        std::vector<std::thread> threads;
        for (int i = 0; i < kThreads; ++i)
            threads.emplace_back([&, i] {
                while (!go)
                    std::this_thread::yield();
                TPluginCallRec rec{};
                rec.Signature = KVR_CALL_SIGNATURE;
                rec.InstanceKey = key;
                seen[i] = Plugin::get().GetModuleDescription(&rec);
            });
        go = true;
        for (auto& t : threads)
            t.join();
        // Every caller got the description text of one and the same instance.
        for (int i = 1; i < kThreads; ++i)
            ASSERT_EQ(seen[0], seen[i]) << "round " << round;
        Call call(key);
        EXPECT_EQ(seen[0], p.GetModuleDescription(&call.rec));
        release(key);
    }
}
