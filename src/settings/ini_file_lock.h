#pragma once
// The lock that every process on the machine takes around reading, changing and writing back
// an INI file, so that two writers never lose each other's changes. It is named after the
// file's path (IniLockName) and is recursive for the thread that holds it. On Windows it is an
// event named "Optex_Event_<name>" with a 16-byte shared block "Optex_MMF_<name>", the names
// every module built on this framework uses; elsewhere it is an exclusive file lock in the
// temporary folder plus a process-local recursive mutex.

#include <memory>
#include <string>
#include <string_view>

namespace kvr {

// The path with ASCII letters lowered and every byte other than "a" to "z" and "0" to "9"
// replaced by "_": "C:\Data\My.ini" gives "c__data_my_ini".
std::string IniLockName(std::string_view ini_path);

// Holds the lock of one INI file while it lives. Waiting threads spin a while, then block
// until the holder lets go; a thread that already holds the lock takes it again at once.
// A holder that dies without letting go (its process crashed) does not keep others out: on
// Windows a waiter finds the holder's thread gone within a tenth of a second and takes the
// lock over; elsewhere the system drops a dead process's file lock at once. A live holder is
// waited for as long as it holds the lock.
class [[nodiscard]] IniFileLock {
  public:
    // Blocks until the lock is held. Throws EOSError when the lock cannot be made.
    explicit IniFileLock(std::string_view ini_path);
    ~IniFileLock();
    IniFileLock(const IniFileLock&) = delete;
    IniFileLock& operator=(const IniFileLock&) = delete;

    // Times each waiting thread tests the lock before it blocks.
    static constexpr int kSpinCount = 4000;

  private:
    struct Held;
    std::unique_ptr<Held> held_;
};

} // namespace kvr
