// The INI file lock between threads: recursive for its holder, exclusive for everyone else,
// independent per file.

#include "temp_dir.h"

#include "settings/ini_file_lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <thread>

using kvr::IniFileLock;

namespace {

// Runs in a thread of its own: takes the lock of path, then notes whether the holder had
// already announced its release.
class Contender {
  public:
    Contender(const std::string& path, const std::atomic<bool>& holder_released)
        : thread_([this, path, &holder_released] {
              started_ = true;
              const IniFileLock lock(path);
              saw_release_ = holder_released.load();
              acquired_ = true;
          }) {}
    ~Contender() {
        if (thread_.joinable()) thread_.join();
    }
    void wait_until_started() const {
        while (!started_)
            std::this_thread::yield();
    }
    bool acquired() const { return acquired_; }
    bool join_and_saw_release() {
        thread_.join();
        return saw_release_;
    }

  private:
    std::atomic<bool> started_{false};
    std::atomic<bool> acquired_{false};
    bool saw_release_ = false;
    std::thread thread_;
};

} // namespace

TEST(IniFileLock, HolderTakesItAgainWhileOtherThreadsWaitForTheLastRelease) {
    const kvr::test::TempDir dir;
    const std::string path = dir.file("shared.ini");
    std::atomic<bool> released{false};
    std::optional<IniFileLock> outer;
    outer.emplace(path);
    std::optional<IniFileLock> inner;
    inner.emplace(path); // the same thread again: no wait
    Contender contender(path, released);
    contender.wait_until_started();
    inner.reset();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(contender.acquired()) << "the lock is still held once";
    released = true;
    outer.reset();
    EXPECT_TRUE(contender.join_and_saw_release());
}

TEST(IniFileLock, LocksOfDifferentFilesAreIndependent) {
    const kvr::test::TempDir dir;
    const IniFileLock first(dir.file("first.ini"));
    std::atomic<bool> never{false};
    Contender other(dir.file("second.ini"), never);
    EXPECT_FALSE(other.join_and_saw_release());
    EXPECT_TRUE(other.acquired());
}
