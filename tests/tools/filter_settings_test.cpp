#include "kvrhost/core/filter_settings.h"

#include "settings/big_ini_file.h"
#include "settings/escaping.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

using namespace kvrhost;

TEST(FilterSettings, ProblemsAreFoundBeforeAnythingIsWritten) {
    EXPECT_FALSE(settings_problem({{"a", "b", "c", "d", "e", "f", "g", "h"}, 4294967295.0, true}));
    EXPECT_TRUE(settings_problem({{}, 0.0, false}));
    EXPECT_TRUE(settings_problem({{"Temp", " \t"}, 0.0, false}));
    EXPECT_TRUE(settings_problem({{"Temp"}, -1.0, false}));
    EXPECT_TRUE(settings_problem({{"Temp"}, 4294967296.0, false}))
        << "2^32 ms would wrap to no timeout at all";
    EXPECT_TRUE(settings_problem({{"Temp"}, std::numeric_limits<double>::quiet_NaN(), false}));
}

TEST(FilterSettings, SectionFollowsThePrefix) {
    EXPECT_EQ("Common", settings_section(""));
    EXPECT_EQ("Filter1.Common", settings_section("Filter1"));
    EXPECT_EQ("Filter1", settings_section("Filter1/"));
    EXPECT_EQ("A.B.Common", settings_section("A\\B"));
    EXPECT_EQ("A.B", settings_section("A\\B/"));
    EXPECT_FALSE(settings_section("/"));
}

TEST(FilterSettingsIni, WrittenValuesReadBackAsTheFilterReadsThem) {
    kvr::test::TempDir dir;
    const std::string file = dir.file("settings.ini");
    write_settings_ini(file, "Filter1", {{"Temp", " Hum  x"}, 2500.25, true});

    const kvr::TBigIniFile ini(file);
    const std::string section = "Filter1.Common";
    EXPECT_EQ("Temp", kvr::UnescapeValue(ini.ReadString(section, "Var1", "?")));
    EXPECT_EQ(" Hum  x", kvr::UnescapeValue(ini.ReadString(section, "Var2", "?")));
    EXPECT_FALSE(ini.ValueExists(section, "Var3"));
    EXPECT_EQ(2500.25, ini.ReadFloat(section, "Timeout", 0));
    EXPECT_EQ("True", ini.ReadString(section, "No reset", "?"));
    EXPECT_EQ("[Filter1.Common]\r\nVar1=Temp\r\nVar2=+Hum+ x\r\nTimeout=2500.25\r\n"
              "No reset=True\r\n\r\n",
              kvr::test::read_bytes(file));
}

TEST(FilterSettingsIni, RewritingKeepsOtherEntriesAndDropsUnusedVariables) {
    kvr::test::TempDir dir;
    const std::string file = dir.file("settings.ini");
    kvr::test::write_bytes(file, "[Other]\r\nkeep=1\r\n[Common]\r\nLeft=10\r\nVar1=Old\r\n"
                                 "Var2=Old2\r\nVar8=Old8\r\n");
    write_settings_ini(file, "", {{"New"}, 0.0, false});

    const kvr::TBigIniFile ini(file);
    EXPECT_EQ("1", ini.ReadString("Other", "keep", ""));
    EXPECT_EQ("10", ini.ReadString("Common", "Left", "")) << "the dialog geometry stays";
    EXPECT_EQ("New", ini.ReadString("Common", "Var1", ""));
    EXPECT_FALSE(ini.ValueExists("Common", "Var2"));
    EXPECT_FALSE(ini.ValueExists("Common", "Var8"));
    EXPECT_EQ("0", ini.ReadString("Common", "Timeout", ""));
    EXPECT_EQ("False", ini.ReadString("Common", "No reset", ""));
}

TEST(FilterSettingsIni, FailuresAreReported) {
    kvr::test::TempDir dir;
    EXPECT_THROW(write_settings_ini(dir.file("a.ini"), "/", {{"Temp"}}), kvr::Exception);
    EXPECT_THROW(write_settings_ini(dir.file("missing/folder/a.ini"), "", {{"Temp"}}),
                 kvr::Exception);
    EXPECT_EQ("", dir.listing()) << "nothing is left behind";
}
