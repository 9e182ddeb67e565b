// The settings store when the file system or the registry refuses a save: the settings that
// were stored stay whole, no partial or temporary file is left, and the store says what
// failed (Save's result and Errors, which the module writes to its log).

#include "faulty_file_steps.h"
#include "registry_fake.h"
#include "temp_dir.h"
#include "wreg_fixtures.h"
#include "wreg_test_support.h"

#include "settings/wreg.h"

#include <gtest/gtest.h>

#include <functional>

using namespace kvr;
using namespace kvr::testing;
using kvr::test::read_bytes;
using kvr::test::TempDir;

namespace {

std::string joined(const std::vector<std::string>& texts) {
    std::string all;
    for (const std::string& text : texts)
        all += text + "\n";
    return all;
}

} // namespace

TEST(WregFaults, AnIniSaveThatCannotBeWrittenKeepsTheStoredSettingsAndSaysWhy) {
    RegisterStandardHandlersOnce();
    struct Fault {
        const char* what;
        std::function<void(FaultyFileSteps&)> inject;
    };
    const Fault faults[] = {
        {"read-only file", [](FaultyFileSteps& s) { s.file_read_only = true; }},
        {"folder and file refuse writers",
         [](FaultyFileSteps& s) { s.folder_refuses_new_files = s.file_read_only = true; }},
        {"disk fills while the new file is written", [](FaultyFileSteps& s) { s.disk_space = 60; }},
        {"disk fills while the file is rewritten in place",
         [](FaultyFileSteps& s) { s.folder_refuses_new_files = true, s.disk_space = 60; }},
        {"the system refuses the replacement",
         [](FaultyFileSteps& s) { s.replace_refused = true; }},
    };
    for (const Fault& fault : faults) {
        SCOPED_TRACE(fault.what);
        const TempDir dir;
        const std::string path = dir.file("settings.ini");
        TWreg wreg;
        wreg.INIFile = path;
        wreg.Components = StoreMap();
        TStoreSettings stored;
        ASSERT_TRUE(wreg.Save(&stored));
        EXPECT_TRUE(wreg.Errors().empty()) << joined(wreg.Errors());
        const std::string before = read_bytes(path);

        auto steps = std::make_shared<FaultyFileSteps>(ini::standard_file_steps());
        fault.inject(*steps);
        wreg.SetPlatform(TestPlatform(nullptr, std::make_shared<FileAccessThrough>(steps)));
        TStoreSettings changed;
        FillDistinctValues(changed);
        EXPECT_FALSE(wreg.Save(&changed));
        ASSERT_EQ(1u, wreg.Errors().size()) << joined(wreg.Errors());
        EXPECT_NE(std::string::npos, wreg.Errors()[0].find(path)) << wreg.Errors()[0];
        EXPECT_EQ(before, read_bytes(path));
        EXPECT_EQ("settings.ini", dir.listing());

        TStoreSettings loaded;
        ASSERT_TRUE(wreg.Load(&loaded));
        EXPECT_EQ(314, loaded.left_);
        EXPECT_EQ("", loaded.var1_text_);
    }
}

TEST(WregFaults, ARegistryValueWithoutWriteAccessKeepsItsOldValueAndIsReported) {
    RegisterStandardHandlersOnce();
    auto registry = std::make_shared<FakeRegistry>();
    TWreg wreg;
    wreg.SetPlatform(TestPlatform(registry));
    wreg.RegistryPath = "Software\\Faults";
    wreg.Components = StoreMap();
    TStoreSettings stored;
    stored.var2_text_ = "kept";
    ASSERT_TRUE(wreg.Save(&stored));

    registry->read_only_values = {"var2"};
    TStoreSettings changed;
    FillDistinctValues(changed);
    EXPECT_TRUE(wreg.Save(&changed)) << "the other values were stored";
    ASSERT_EQ(1u, wreg.Errors().size()) << joined(wreg.Errors());
    EXPECT_NE(std::string::npos, wreg.Errors()[0].find("Var2")) << wreg.Errors()[0];
    TStoreSettings loaded;
    ASSERT_TRUE(wreg.Load(&loaded));
    EXPECT_EQ(-20, loaded.left_);
    EXPECT_EQ("kept", loaded.var2_text_);

    registry->unusable_roots = {rrHKEY_LOCAL_MACHINE, rrHKEY_CURRENT_USER};
    EXPECT_FALSE(wreg.Save(&changed));
    ASSERT_EQ(1u, wreg.Errors().size());
    EXPECT_NE(std::string::npos, wreg.Errors()[0].find("Software\\Faults"));
}
