// The module routines that load and save a root object at the module's settings location.

#include "wreg_fixtures.h"
#include "wreg_test_support.h"
#include "wreg_win_support.h"

#include "plugin/map_values.h"
#include "plugin/plugin_module.h"
#include "settings/big_ini_file.h"

#include <gtest/gtest.h>

using namespace kvr;
using namespace kvr::testing;

namespace {

class MapValues : public ::testing::Test {
  protected:
    MapValues() {
        RegisterStandardHandlersOnce();
        module.RegistryPath = key.path();
        module.RegistryRoot = rrHKEY_CURRENT_USER;
        module.SecondRegistryRoot = rrNone;
    }
    ~MapValues() override {
        DeleteFileA(ini_path.c_str());
        RemoveDirectoryA(folder.c_str());
    }

    OwnRegistryKey key;
    TkvrPlugin module{nullptr};
    const TStringList map = StoreMap();
    std::string folder = temporary_folder();
    std::string ini_path = folder + "\\module.ini";
};

} // namespace

TEST_F(MapValues, MissingMapFailsAtOnce) {
    TStoreSettings settings;
    EXPECT_FALSE(LoadMapValues(module, nullptr, &settings));
    EXPECT_FALSE(SaveMapValues(module, nullptr, &settings));
    EXPECT_FALSE(SaveShortMapValues(module, nullptr, &settings));
    EXPECT_FALSE(raw_value(HKEY_CURRENT_USER, key.path(), "Left"));
}

TEST_F(MapValues, RegistryLocationOfTheModuleIsUsed) {
    TStoreForm form;
    FillDistinctValues(form);
    ASSERT_TRUE(SaveMapValues(module, &map, &form));
    EXPECT_TRUE(raw_value(HKEY_CURRENT_USER, key.path(), "Var2"));
    TStoreSettings settings;
    ASSERT_TRUE(LoadMapValues(module, &map, &settings));
    EXPECT_EQ("line\r\nbreak", settings.var2_text_);

    module.RegistryRoot = rrNone; // the module's roots reach the store
    EXPECT_FALSE(LoadMapValues(module, &map, &settings));
}

TEST_F(MapValues, IniFileAndPrefixOfTheModuleAreUsedAndTheShortMapSavesTheGeometryOnly) {
    module.INIFile = ini_path;
    module.INISectionPrefix = "Filter1";
    TStoreForm form;
    FillDistinctValues(form);
    ASSERT_TRUE(SaveMapValues(module, &map, &form));

    TStoreForm cancelled; // designed values
    ASSERT_TRUE(SaveShortMapValues(module, &map, &cancelled));
    const TBigIniFile ini(ini_path);
    EXPECT_EQ(314, ini.ReadInteger("Filter1.Common", "Left", 0));
    EXPECT_EQ(389, ini.ReadInteger("Filter1.Common", "Width", 0));
    EXPECT_EQ("line%0D%0Abreak", ini.ReadString("Filter1.Common", "Var2", ""));
    EXPECT_FALSE(raw_value(HKEY_CURRENT_USER, key.path(), "Left"));

    TStoreSettings settings;
    ASSERT_TRUE(LoadMapValues(module, &map, &settings));
    EXPECT_EQ(314, settings.left_);
    EXPECT_EQ(1.5, settings.timeout_);
}
