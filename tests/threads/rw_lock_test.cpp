#include "threads/rw_lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

using namespace kvr;
using namespace std::chrono_literals;

namespace {
// True when `work` finishes within a generous limit; a deadlock shows up as false.
template <class F> bool finishes(F&& work, std::chrono::seconds limit = std::chrono::seconds(20)) {
    auto done = std::async(std::launch::async, std::forward<F>(work));
    return done.wait_for(limit) == std::future_status::ready;
}
} // namespace

TEST(ReentrantRWLock, WriterMayNestAndReadWithoutWaiting) {
    ReentrantRWLock lock;
    EXPECT_TRUE(finishes([&] {
        lock.lock();
        lock.lock();
        lock.lock_shared();
        lock.unlock_shared();
        lock.unlock();
        lock.unlock();
    }));
    // Fully released: another thread gets it exclusively.
    EXPECT_TRUE(finishes([&] {
        lock.lock();
        lock.unlock();
    }));
}

TEST(ReentrantRWLock, NestedWriteStaysHeldUntilOuterRelease) {
    ReentrantRWLock lock;
    lock.lock();
    lock.lock();
    lock.unlock();
    std::atomic<bool> other_got_it{false};
    std::thread other([&] {
        lock.lock();
        other_got_it = true;
        lock.unlock();
    });
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(other_got_it);
    lock.unlock();
    other.join();
    EXPECT_TRUE(other_got_it);
}

TEST(ReentrantRWLock, ReadersShareTheLock) {
    ReentrantRWLock lock;
    std::atomic<int> inside{0};
    std::atomic<int> most{0};
    auto reader = [&] {
        ReadGuard guard(lock);
        const int now = ++inside;
        int seen = most.load();
        while (now > seen && !most.compare_exchange_weak(seen, now)) {
        }
        // Stay until the other reader has entered as well, so both are inside at once.
        for (int i = 0; i < 2000 && most < 2; ++i)
            std::this_thread::sleep_for(1ms);
        --inside;
    };
    EXPECT_TRUE(finishes([&] {
        std::thread a(reader), b(reader);
        a.join();
        b.join();
    }));
    EXPECT_EQ(2, most);
}

TEST(ReentrantRWLock, ReaderUpgradesOnceOtherReadersLeaveAndKeepsItsSharedHold) {
    ReentrantRWLock lock;
    lock.lock_shared(); // another reader, on this thread
    std::atomic<bool> upgraded{false};
    std::promise<void> release_shared;
    auto upgrading = std::async(std::launch::async, [&] {
        lock.lock_shared();
        lock.lock();
        upgraded = true;
        lock.unlock();
        release_shared.get_future().wait();
        lock.unlock_shared();
    });
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(upgraded) << "another reader still holds the lock";
    lock.unlock_shared();
    for (int i = 0; i < 2000 && !upgraded; ++i)
        std::this_thread::sleep_for(1ms);
    EXPECT_TRUE(upgraded);

    // The upgrading thread still reads: a writer must wait for it.
    std::atomic<bool> writer_in{false};
    std::thread writer([&] {
        lock.lock();
        writer_in = true;
        lock.unlock();
    });
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(writer_in);
    release_shared.set_value();
    EXPECT_EQ(std::future_status::ready, upgrading.wait_for(20s));
    writer.join();
    EXPECT_TRUE(writer_in);
}

TEST(ReentrantRWLock, TwoUpgradingReadersDoNotDeadlock) {
    ReentrantRWLock lock;
    std::atomic<int> both_reading{0};
    std::atomic<int> writes{0};
    auto upgrader = [&] {
        lock.lock_shared();
        ++both_reading;
        while (both_reading < 2)
            std::this_thread::yield();
        lock.lock();
        ++writes;
        lock.unlock();
        lock.unlock_shared();
    };
    EXPECT_TRUE(finishes([&] {
        std::thread a(upgrader), b(upgrader);
        a.join();
        b.join();
    }));
    EXPECT_EQ(2, writes);
}

TEST(ReentrantRWLock, WriterExcludesReadersAndOtherWriters) {
    ReentrantRWLock lock;
    int counter = 0; // guarded only by the lock: a lost update shows a broken exclusion
    auto writer = [&] {
        for (int i = 0; i < 20000; ++i) {
            WriteGuard guard(lock);
            ++counter;
        }
    };
    auto reader = [&] {
        for (int i = 0; i < 20000; ++i) {
            ReadGuard guard(lock);
            const int seen = counter;
            EXPECT_GE(seen, 0);
        }
    };
    EXPECT_TRUE(finishes(
        [&] {
            std::thread a(writer), b(writer), c(reader);
            a.join();
            b.join();
            c.join();
        },
        std::chrono::seconds(120)));
    EXPECT_EQ(40000, counter);
}
