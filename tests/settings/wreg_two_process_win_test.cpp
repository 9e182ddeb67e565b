// Two processes saving complete value sets into one INI file at the same time: the file always
// parses, always holds one complete set, and no save is lost. The children are this program
// started again with --save-child.

#include "wreg_two_process_win.h"

#include "wreg_fixtures.h"
#include "wreg_win_support.h"

#include "settings/big_ini_file.h"
#include "settings/ini_file_lock.h"
#include "settings/ini_platform_win32.h"
#include "settings/wreg.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <cstring>
#include <vector>

namespace kvr::testing {

namespace {

constexpr ValueSet kSets[2] = {{"alpha 1", "alpha 2", 1.25, true},
                               {"beta 1", "beta 2", 2.5, false}};

// The set the file holds in section Common: 0 or 1, or -1 when it holds no complete set.
int set_held(const TBigIniFile& ini) {
    std::vector<std::string> names;
    ini.ReadSection("Common", names);
    if (names != std::vector<std::string>{"Var1", "Var2", "Timeout", "No reset"}) return -1;
    for (int index = 0; index < 2; ++index) {
        if (holds_set(ini, kSets[index])) return index;
    }
    return -1;
}

std::string this_program() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

UniqueHandleNull start_child(const std::string& arguments, const char* mode = "--save-child") {
    std::string command = "\"" + this_program() + "\" " + mode + " " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        throw_last_error("CreateProcessA");
    CloseHandle(process.hThread);
    return UniqueHandleNull(process.hProcess);
}

UniqueHandleNull make_event(const std::string& name) {
    UniqueHandleNull event(CreateEventA(nullptr, TRUE, FALSE, name.c_str()));
    if (!event) throw_last_error("CreateEventA");
    return event;
}

DWORD exit_code(HANDLE process) {
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    return code;
}

// Waits until every child has signalled ready; false when one ends first or time runs out.
bool wait_until_ready(const std::vector<UniqueHandleNull>& ready,
                      const std::vector<UniqueHandleNull>& children) {
    for (std::size_t index = 0; index < ready.size(); ++index) {
        const HANDLE either[2] = {ready[index].get(), children[index].get()};
        const DWORD woken = WaitForMultipleObjects(2, either, FALSE, 20 * 60 * 1000);
        if (woken == WAIT_OBJECT_0) continue;
        ADD_FAILURE() << "child " << index << " did not get ready; exit code "
                      << (woken == WAIT_OBJECT_0 + 1 ? std::to_string(exit_code(either[1]))
                                                     : "none (still running)");
        return false;
    }
    return true;
}

} // namespace

int RunSaveChild(int argc, char** argv) {
    // --save-child <ini file> <set 0|1> <rounds> <ready event> <start event>
    if (argc != 7) return 10;
    const std::string path = argv[2];
    const int set = std::atoi(argv[3]);
    const int rounds = std::atoi(argv[4]);
    const UniqueHandleNull ready(OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[5]));
    const UniqueHandleNull start(OpenEventA(SYNCHRONIZE, FALSE, argv[6]));
    if (!ready || !start || set < 0 || set > 1) return 11;
    SetEvent(ready.get());
    if (WaitForSingleObject(start.get(), 30 * 60 * 1000) != WAIT_OBJECT_0) return 12;
    try {
        return save_repeatedly(path, kSets[set], rounds);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "save child: %s\n", error.what());
        return 13;
    }
}

int RunHoldLockChild(int argc, char** argv) {
    // --hold-lock <ini file> <ready event> <die event>
    if (argc != 5) return 10;
    const UniqueHandleNull ready(OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[3]));
    const UniqueHandleNull die(OpenEventA(SYNCHRONIZE, FALSE, argv[4]));
    if (!ready || !die) return 11;
    const auto held = std::make_unique<IniFileLock>(argv[2]);
    SetEvent(ready.get());
    if (WaitForSingleObject(die.get(), 30 * 60 * 1000) != WAIT_OBJECT_0) return 12;
    TerminateProcess(GetCurrentProcess(), 7); // dies holding the lock, as a crash would
    return 13;
}

// A process that crashed while it held the lock of an INI file used to keep every other
// user of that file waiting for ever.
TEST(WregTwoProcesses, ASaveWaitingForAHolderThatDiesTakesTheLockOver) {
    const std::string folder = temporary_folder();
    const std::string path = folder + "\\abandoned.ini";
    const std::string tag = std::to_string(GetCurrentProcessId());
    const UniqueHandleNull ready = make_event("kvr-lock-ready-" + tag);
    const UniqueHandleNull die = make_event("kvr-lock-die-" + tag);
    const UniqueHandleNull child = start_child(
        "\"" + path + "\" kvr-lock-ready-" + tag + " kvr-lock-die-" + tag, "--hold-lock");
    const HANDLE ready_or_ended[2] = {ready.get(), child.get()};
    ASSERT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(2, ready_or_ended, FALSE, 20 * 60 * 1000))
        << "the child did not get the lock";
    // The shared block stays open here, so the lock's state outlives the holder.
    const UniqueHandleNull mapping(
        OpenFileMappingA(FILE_MAP_READ, FALSE, ("Optex_MMF_" + IniLockName(path)).c_str()));
    ASSERT_TRUE(mapping);
    const UniqueView view(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 16));
    ASSERT_TRUE(view);
    const auto* block = static_cast<const volatile LONG*>(view.get());

    std::future<bool> saved = std::async(std::launch::async, [&path] {
        TWreg wreg;
        wreg.INIFile = path;
        wreg.Components = counting_map();
        TStoreSettings settings;
        settings.left_ = 41;
        return wreg.Save(&settings);
    });
    EXPECT_EQ(std::future_status::timeout, saved.wait_for(std::chrono::milliseconds(300)))
        << "the save did not wait for the living holder";
    SetEvent(die.get());
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(child.get(), 60 * 1000));
    ASSERT_EQ(std::future_status::ready, saved.wait_for(std::chrono::minutes(2)))
        << "the save still waits for the dead holder";
    EXPECT_TRUE(saved.get());
    EXPECT_EQ(41, TBigIniFile(path, ini::WindowsIniPlatform()).ReadInteger("Stats", "Saves", 0));
    EXPECT_EQ(0, block[1]) << "lock count after the take-over";
    EXPECT_EQ(0, block[2]) << "holder after the take-over";
    {
        const IniFileLock again(path); // free for the next user at once
    }
    DeleteFileA(path.c_str());
    RemoveDirectoryA(folder.c_str());
}

TEST(WregTwoProcesses, SavingOneFileAtTheSameTimeKeepsItWholeAndLosesNoSave) {
    const std::string folder = temporary_folder();
    const std::string path = folder + "\\shared.ini";
    constexpr int kRounds = 500;
    const std::string tag = std::to_string(GetCurrentProcessId());
    const UniqueHandleNull start = make_event("kvr-wreg-start-" + tag);
    std::vector<UniqueHandleNull> ready;
    std::vector<UniqueHandleNull> children;
    for (int set = 0; set < 2; ++set) {
        const std::string ready_name = "kvr-wreg-ready-" + tag + "-" + std::to_string(set);
        ready.push_back(make_event(ready_name));
        children.push_back(start_child("\"" + path + "\" " + std::to_string(set) + " " +
                                       std::to_string(kRounds) + " " + ready_name +
                                       " kvr-wreg-start-" + tag));
    }
    // Both children are up (a start under emulation takes minutes): let them go together.
    ASSERT_TRUE(wait_until_ready(ready, children));
    const auto started = std::chrono::steady_clock::now();
    SetEvent(start.get());

    // Meanwhile read the file as another module would, without the lock and with it.
    int reads = 0;
    int reads_without_set = 0;
    int failed_reads = 0;
    int last_count = 0;
    bool count_went_back = false;
    const HANDLE processes[2] = {children[0].get(), children[1].get()};
    while (WaitForMultipleObjects(2, processes, TRUE, 0) == WAIT_TIMEOUT) {
        std::optional<IniFileLock> lock;
        if (reads % 2) lock.emplace(path);
        if (ini::WindowsFileAccess()->file_exists(path)) {
            ++reads;
            try {
                const TBigIniFile ini(path, ini::WindowsIniPlatform());
                if (set_held(ini) < 0) ++reads_without_set;
                const int count = ini.ReadInteger("Stats", "Saves", 0);
                if (count < last_count) count_went_back = true;
                last_count = count;
            } catch (const std::exception& error) {
                if (++failed_reads == 1) std::printf("first failed read: %s\n", error.what());
            }
        }
        lock.reset();
        Sleep(1);
    }
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started)
            .count();
    std::printf("two processes: %d saves each in %lld s; the parent read the file %d times\n",
                kRounds, static_cast<long long>(seconds), reads);

    EXPECT_EQ(0u, exit_code(processes[0]));
    EXPECT_EQ(0u, exit_code(processes[1]));
    EXPECT_GT(reads, 0);
    EXPECT_EQ(0, failed_reads) << "the file could not be read while it was replaced";
    EXPECT_EQ(0, reads_without_set) << "a read found the file without a complete set";
    EXPECT_FALSE(count_went_back) << "a save was undone";
    const TBigIniFile ini(path, ini::WindowsIniPlatform());
    EXPECT_EQ(2 * kRounds, ini.ReadInteger("Stats", "Saves", 0));
    EXPECT_GE(set_held(ini), 0);

    WIN32_FIND_DATAA found{};
    const HANDLE search = FindFirstFileA((folder + "\\*.tmp").c_str(), &found);
    EXPECT_EQ(INVALID_HANDLE_VALUE, search) << "a temporary file was left: " << found.cFileName;
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    DeleteFileA(path.c_str());
    RemoveDirectoryA(folder.c_str());
}

} // namespace kvr::testing
