#include "threads/thread_containers.h"

#include <gtest/gtest.h>

#include <thread>

using namespace kvr;

namespace {
struct Tracked {
    explicit Tracked(int& alive) : alive_(alive) { ++alive_; }
    ~Tracked() { --alive_; }
    int& alive_;
};
} // namespace

TEST(TThreadObjectList, ClearFreesObjectsOnlyWhenItOwnsThem) {
    int alive = 0;
    TThreadObjectList<Tracked> owning(true);
    owning.LockList()->Add(std::make_unique<Tracked>(alive));
    owning.LockList()->Add(std::make_unique<Tracked>(alive));
    EXPECT_EQ(2, owning.Count());
    owning.Clear();
    EXPECT_EQ(0, alive);
    EXPECT_EQ(0, owning.Count());

    Tracked kept(alive);
    {
        TThreadObjectList<Tracked> borrowing(false);
        borrowing.LockList()->Add(&kept);
        borrowing.Clear();
        EXPECT_EQ(1, alive);
        borrowing.LockList()->Add(&kept);
    } // destroying a non-owning list leaves the object alone
    EXPECT_EQ(1, alive);
}

TEST(TThreadObjectList, ClearInsideLockListNestsAndKeepsTheLock) {
    int alive = 0;
    TThreadObjectList<Tracked> list(true);
    std::atomic<bool> other_counted{false};
    std::thread other;
    {
        auto guard = list.LockList();
        guard->Add(std::make_unique<Tracked>(alive));
        list.Clear(); // same thread: the nested exclusive take succeeds at once
        EXPECT_EQ(0, alive);
        other = std::thread([&] {
            (void)list.Count();
            other_counted = true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_FALSE(other_counted) << "the outer LockList still holds the lock";
    }
    other.join();
    EXPECT_TRUE(other_counted);
}

TEST(TThreadObjectList, ReaderMayTakeTheListExclusively) {
    int alive = 0;
    TThreadObjectList<Tracked> list(true);
    auto reader = list.LockListRead();
    {
        auto writer = list.LockList();
        writer->Add(std::make_unique<Tracked>(alive));
    }
    EXPECT_EQ(1, reader->Count());
}

TEST(TThreadStringList, SetTextReplacesEveryLine) {
    TThreadStringList lines;
    lines.Add("old");
    lines.Add("old");
    lines.SetText("one\r\ntwo\nthree");
    auto guard = lines.LockList();
    EXPECT_EQ((std::vector<std::string>{"one", "two", "three"}), *guard);
}

TEST(TThreadStringList, AddFromManyThreadsLosesNothing) {
    TThreadStringList lines;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 1000; ++i)
                lines.Add("line");
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(4000, lines.Count());
}

TEST(SplitLines, HandlesEveryLineEndAndATrailingOne) {
    EXPECT_EQ((std::vector<std::string>{"a", "", "b"}), split_lines("a\r\n\nb\r\n"));
    EXPECT_EQ((std::vector<std::string>{"a", "b"}), split_lines("a\rb"));
    EXPECT_TRUE(split_lines("").empty());
}
