// The settings store shared by processes (POSIX: the processes are forks of the test): the
// INI file lock keeps other processes out, and writers that change a file at the same time
// lose none of each other's changes.

#include "temp_dir.h"
#include "wreg_fixtures.h"

#include "settings/big_ini_file.h"
#include "settings/ini_file_lock.h"
#include "settings/wreg.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

using namespace kvr;
using namespace kvr::testing;

namespace {

// Runs body in a forked process and returns its pid; the process ends with body's result.
template <class Body> pid_t run_in_child(Body body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        int code = 3;
        try {
            code = body();
        } catch (...) {
        }
        ::_exit(code);
    }
    return pid;
}

int exit_code(pid_t pid) {
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

constexpr ValueSet kSetA{"alpha 1", "alpha 2", 1.25, true};
constexpr ValueSet kSetB{"beta 1", "beta 2", 2.5, false};

} // namespace

TEST(IniFileLockProcesses, AnotherProcessWaitsUntilTheHolderLetsGo) {
    const kvr::test::TempDir dir;
    const std::string path = dir.file("shared.ini");
    const std::string released_mark = dir.file("released");
    // The child is forked before the lock is taken: a fork would inherit a held lock.
    int go[2];
    ASSERT_EQ(0, ::pipe(go));
    const pid_t child = run_in_child([&] {
        char signal = 0;
        if (::read(go[0], &signal, 1) != 1) return 2;
        const IniFileLock lock(path);
        return std::filesystem::exists(released_mark) ? 0 : 1;
    });
    ASSERT_GT(child, 0);
    std::optional<IniFileLock> held;
    held.emplace(path);
    ASSERT_EQ(1, ::write(go[1], "g", 1));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    kvr::test::write_bytes(released_mark, "x");
    held.reset();
    EXPECT_EQ(0, exit_code(child)) << "the other process got the lock while it was held";
    ::close(go[0]);
    ::close(go[1]);
}

TEST(WregProcesses, TwoProcessesSavingTheSameFileLoseNoChange) {
    const kvr::test::TempDir dir;
    const std::string path = dir.file("shared.ini");
    constexpr int kRounds = 200;
    const pid_t first = run_in_child([&] { return save_repeatedly(path, kSetA, kRounds); });
    const pid_t second = run_in_child([&] { return save_repeatedly(path, kSetB, kRounds); });
    ASSERT_GT(first, 0);
    ASSERT_GT(second, 0);
    EXPECT_EQ(0, exit_code(first));
    EXPECT_EQ(0, exit_code(second));

    const TBigIniFile ini(path);
    EXPECT_EQ(2 * kRounds, ini.ReadInteger("Stats", "Saves", 0));
    EXPECT_TRUE(holds_set(ini, kSetA) || holds_set(ini, kSetB)) << kvr::test::read_bytes(path);
    EXPECT_EQ("shared.ini", dir.listing()) << "no temporary file is left";
}
