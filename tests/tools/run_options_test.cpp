#include "kvrhost/core/run_options.h"

#include <gtest/gtest.h>

using namespace kvrhost;

TEST(RunOptions, SettingsOfTheFilterComeOnlyWithVariables) {
    RunOptions options;
    options.input = "p.jsonl";
    options.no_reset = true;
    EXPECT_FALSE(options.filter_settings());
    EXPECT_TRUE(options_problem(options)) << "a setting without variables would be dropped";
    options.variables = {"Temp", "Hum"};
    EXPECT_FALSE(options_problem(options));
    const auto settings = options.filter_settings();
    ASSERT_TRUE(settings);
    EXPECT_EQ(0.0, settings->timeout_ms);
    EXPECT_TRUE(settings->no_reset);
    options.variables.assign(9, "v");
    EXPECT_TRUE(options_problem(options));
}

TEST(RunOptions, StandardInputCannotBeReadTwice) {
    RunOptions options;
    options.input = "-";
    options.items_from_stream = true;
    EXPECT_TRUE(options_problem(options));
    options.input = "p.jsonl";
    EXPECT_FALSE(options_problem(options));
    options.section_prefix = "P";
    EXPECT_TRUE(options_problem(options)) << "a section prefix means nothing without --ini";
}
