#include "common/fault_cleanup.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace kvr;

namespace {
std::string g_ran;
void note(void* name) {
    g_ran += *static_cast<const char*>(name);
}
} // namespace

// A fault frame runs the cleanups registered since it began, newest first, also when some of
// them went out of order before; the cleanups of the frames around it stay registered.
TEST(FaultCleanup, RunsOnlyWhatWasRegisteredSinceTheMarkNewestFirst) {
    g_ran.clear();
    char a = 'a', b = 'b', c = 'c', d = 'd';
    FaultCleanup outer(&note, &a);
    const std::uint64_t mark = FaultCleanupMark();
    std::optional<FaultCleanup> early;
    early.emplace(&note, &b);
    FaultCleanup kept(&note, &c);
    FaultCleanup newest(&note, &d);
    early.reset(); // gone before the fault, out of order
    RunFaultCleanupsSince(mark);
    EXPECT_EQ("dc", g_ran);
    RunFaultCleanupsSince(mark);
    EXPECT_EQ("dc", g_ran) << "each runs once";
    RunFaultCleanupsSince(0);
    EXPECT_EQ("dca", g_ran) << "the outer frame's cleanup was still registered";
}
