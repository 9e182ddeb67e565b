// The INI file lock where there is no Windows: threads of this process queue on a recursive
// mutex per lock name; the thread that gets it takes an exclusive flock on a file named after
// the lock in the temporary folder, which keeps other processes out. The file is removed by
// the last holder, so no lock files pile up; a process that finds it removed after waiting
// locks the new one.

#include "settings/ini_file_lock.h"

#include "common/errors.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kvr {

namespace {

struct ProcessLock {
    std::recursive_mutex threads; // held by the thread that holds the lock
    int users = 0;                // IniFileLock objects waiting for or holding it
    int depth = 0;                // nesting of the holding thread
    int file = -1;                // the flock'ed lock file while depth > 0
};

std::mutex& process_locks_mutex() {
    static std::mutex mutex;
    return mutex;
}

std::map<std::string, ProcessLock>& process_locks() {
    static std::map<std::string, ProcessLock> locks; // node-based: entries never move
    return locks;
}

ProcessLock& use_process_lock(const std::string& name) {
    const std::lock_guard guard(process_locks_mutex());
    ProcessLock& lock = process_locks()[name];
    ++lock.users;
    return lock;
}

void leave_process_lock(const std::string& name, ProcessLock& lock) {
    const std::lock_guard guard(process_locks_mutex());
    if (--lock.users == 0) process_locks().erase(name);
}

// A file name for the lock: the name itself, or for long names a prefix and a hash, so that
// the file name stays within the file system's limit.
std::string lock_file_path(const std::string& name) {
    constexpr std::size_t kLongestName = 160;
    std::string file_name = name;
    if (file_name.size() > kLongestName) {
        std::uint64_t hash = 14695981039346656037ull; // FNV-1a
        for (const char c : name) {
            hash ^= static_cast<unsigned char>(c);
            hash *= 1099511628211ull;
        }
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, "-%016llx", static_cast<unsigned long long>(hash));
        file_name = file_name.substr(0, kLongestName) + suffix;
    }
    return (std::filesystem::temp_directory_path() / ("kvr-ini-lock-" + file_name)).string();
}

bool same_file(int file, const std::string& path) {
    struct stat opened {};
    struct stat named {};
    return ::fstat(file, &opened) == 0 && ::stat(path.c_str(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

// Opens and flocks the lock file, waiting for other processes; returns the descriptor.
int lock_file(const std::string& path) {
    for (;;) {
        const int file = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (file < 0) throw EOSError("open " + path, static_cast<unsigned long>(errno));
        while (::flock(file, LOCK_EX) != 0) {
            if (errno == EINTR) continue;
            const int error = errno;
            ::close(file);
            throw EOSError("flock " + path, static_cast<unsigned long>(error));
        }
        if (same_file(file, path)) return file;
        ::close(file); // the holder before us removed it: lock the file now at the path
    }
}

void unlock_file(int file, const std::string& path) {
    ::unlink(path.c_str()); // while still locked, so nobody else holds the removed file
    ::close(file);
}

} // namespace

struct IniFileLock::Held {
    std::string name;
    std::string path;
    ProcessLock* lock = nullptr;
};

IniFileLock::IniFileLock(std::string_view ini_path) : held_(std::make_unique<Held>()) {
    held_->name = IniLockName(ini_path);
    held_->path = lock_file_path(held_->name);
    ProcessLock& lock = use_process_lock(held_->name);
    lock.threads.lock();
    if (lock.depth == 0) {
        try {
            lock.file = lock_file(held_->path);
        } catch (...) {
            lock.threads.unlock();
            leave_process_lock(held_->name, lock);
            throw;
        }
    }
    ++lock.depth;
    held_->lock = &lock;
}

IniFileLock::~IniFileLock() {
    ProcessLock& lock = *held_->lock;
    if (--lock.depth == 0) {
        unlock_file(lock.file, held_->path);
        lock.file = -1;
    }
    lock.threads.unlock();
    leave_process_lock(held_->name, lock);
}

} // namespace kvr
