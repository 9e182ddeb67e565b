#include "common/errors.h"

#include <gtest/gtest.h>

using namespace kvr;

TEST(Errors, AssertionMessageNamesUnitAndLine) {
    try {
        kvr_assert(false, "kvrShared\\Public\\Common\\kvrParamLst", 42);
        FAIL() << "no exception";
    } catch (const EAssertionFailed& e) {
        EXPECT_STREQ("Assertion failure (kvrShared\\Public\\Common\\kvrParamLst, line 42)",
                     e.what());
    }
    EXPECT_EQ("Invalid call parameters (unit, line 7)",
              assertion_message("Invalid call parameters", "unit", 7));
}

TEST(Errors, ReportIsOneLineWithClassName) {
    EXPECT_EQ("EConvertError: bad value", exception_report(EConvertError("bad\nvalue")));
    EXPECT_EQ("EOSError: RegOpenKeyExA failed: 5", exception_report(EOSError("RegOpenKeyExA", 5)));
}
