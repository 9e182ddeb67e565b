#pragma once
// std::shared_mutex, safe to use from several threads at once from the start.
//
// On the mingw-w64 toolchain the standard type wraps a winpthreads rwlock that is initialised
// lazily, on its first use; threads that first use it at the same time can each get a lock of
// their own, and a writer then runs while readers hold "the" lock. Taking it once here, in the
// constructing thread, does that initialisation before any other thread can see the mutex.

#include <shared_mutex>

class SharedMutex : public std::shared_mutex {
  public:
    SharedMutex() {
        lock();
        unlock();
    }
};
