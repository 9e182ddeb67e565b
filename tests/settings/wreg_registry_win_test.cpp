// The settings store with the Windows registry: value types as the registry holds them, the
// round trip of form and settings object, wrong types, and the fall back to the second root.

#include "wreg_fixtures.h"
#include "wreg_test_support.h"
#include "wreg_win_support.h"

#include "settings/wreg.h"

#include <gtest/gtest.h>

#include <aclapi.h>

#include <cstring>

using namespace kvr;
using namespace kvr::testing;

namespace {

class WindowsRegistryStore : public ::testing::Test {
  protected:
    WindowsRegistryStore() {
        RegisterStandardHandlersOnce();
        wreg.RegistryRoot = rrHKEY_CURRENT_USER;
        wreg.SecondRegistryRoot = rrHKEY_CURRENT_USER;
        wreg.RegistryPath = "\\" + key.path() + "\\";
        wreg.Components = StoreMap();
    }
    std::optional<RawValue> stored(const std::string& name) const {
        return raw_value(HKEY_CURRENT_USER, key.path(), name);
    }

    OwnRegistryKey key;
    TWreg wreg;
};

double as_double(const std::string& bytes) {
    double value = 0;
    std::memcpy(&value, bytes.data(), sizeof value);
    return value;
}

} // namespace

TEST_F(WindowsRegistryStore, FormAndSettingsObjectRoundTripThroughTheSameMap) {
    TStoreForm form;
    FillDistinctValues(form);
    ASSERT_TRUE(wreg.Save(&form));

    const auto left = stored("Left");
    ASSERT_TRUE(left);
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), left->type);
    EXPECT_EQ(std::string("\xec\xff\xff\xff", 4), left->data);
    const auto timeout = stored("Timeout");
    ASSERT_TRUE(timeout);
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), timeout->type);
    ASSERT_EQ(8u, timeout->data.size());
    EXPECT_EQ(1.5, as_double(timeout->data));
    const auto var1 = stored("Var1");
    ASSERT_TRUE(var1);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), var1->type);
    EXPECT_EQ(std::string("++speed 50%%%2B\0", 16), var1->data);
    EXPECT_EQ(std::string("True\0", 5), stored("No reset")->data);
    EXPECT_EQ(std::string("2\0", 2), stored("Var1 index")->data);

    TStoreSettings settings;
    ASSERT_TRUE(wreg.Load(&settings));
    EXPECT_EQ(-20, settings.left_);
    EXPECT_EQ(640, settings.width_);
    EXPECT_EQ("  speed 50%+", settings.var1_text_);
    EXPECT_EQ("line\r\nbreak", settings.var2_text_);
    EXPECT_EQ(1.5, settings.timeout_);
    EXPECT_TRUE(settings.no_reset_);

    settings.var2_text_ = "from the settings object";
    settings.timeout_ = 0.25;
    ASSERT_TRUE(wreg.Save(&settings));
    TStoreForm reloaded;
    ASSERT_TRUE(wreg.Load(&reloaded));
    EXPECT_EQ("from the settings object", reloaded.var2().text_);
    EXPECT_EQ(0.25, reloaded.spTimeout().value_);
    EXPECT_EQ(2, reloaded.var1().index_);
    EXPECT_EQ(-20, reloaded.left_);
}

TEST_F(WindowsRegistryStore, ValueOfTheWrongTypeIsDeletedOnLoadAndWrittenAfreshOnSave) {
    put_raw_value(HKEY_CURRENT_USER, key.path(), "Timeout", REG_SZ, std::string("1.5\0", 4));
    put_raw_value(HKEY_CURRENT_USER, key.path(), "Left", REG_DWORD, std::string("\x07\0\0\0", 4));
    TStoreSettings settings;
    ASSERT_TRUE(wreg.Load(&settings));
    EXPECT_EQ(0.0, settings.timeout_);
    EXPECT_EQ(7, settings.left_);
    EXPECT_FALSE(stored("Timeout"));
    ASSERT_TRUE(wreg.Save(&settings));
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), stored("Timeout")->type);
}

TEST_F(WindowsRegistryStore, LoadingFromAKeyThatExistsNowhereFailsAndChangesNothing) {
    wreg.RegistryRoot = rrHKEY_LOCAL_MACHINE;
    TStoreSettings settings;
    FillDistinctValues(settings);
    EXPECT_FALSE(wreg.Load(&settings));
    EXPECT_EQ(-20, settings.left_);
    EXPECT_FALSE(raw_value(HKEY_CURRENT_USER, key.path(), "Left"));
}

namespace {

// Makes HKEY_LOCAL_MACHINE\<path> a key that can be read and deleted but not opened with full
// access, as it is for a user without administrator rights.
bool make_key_read_only(const std::string& path, HKEY root = HKEY_LOCAL_MACHINE) {
    HKEY created = nullptr;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &created,
                        nullptr) != ERROR_SUCCESS)
        return false;
    const UniqueRegKey key(created);
    EXPLICIT_ACCESS_A access{};
    char everyone[] = "EVERYONE";
    BuildExplicitAccessWithNameA(&access, everyone, KEY_READ | DELETE | WRITE_DAC, SET_ACCESS,
                                 NO_INHERITANCE);
    PACL acl = nullptr;
    if (SetEntriesInAclA(1, &access, nullptr, &acl) != ERROR_SUCCESS) return false;
    const DWORD status = SetSecurityInfo(
        key.get(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
        nullptr, nullptr, acl, nullptr);
    LocalFree(acl);
    return status == ERROR_SUCCESS;
}

bool opens_with_full_access(HKEY root, const std::string& path) {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &opened) != ERROR_SUCCESS)
        return false;
    RegCloseKey(opened);
    return true;
}

} // namespace

TEST_F(WindowsRegistryStore, KeyUnderTheFirstRootWithoutFullAccessSendsTheValuesToTheSecond) {
    ASSERT_TRUE(make_key_read_only(key.path()));
    ASSERT_FALSE(opens_with_full_access(HKEY_LOCAL_MACHINE, key.path()))
        << "the registry ignores the key's access list";
    wreg.RegistryRoot = rrHKEY_LOCAL_MACHINE;
    wreg.SecondRegistryRoot = rrHKEY_CURRENT_USER;
    TStoreSettings settings;
    FillDistinctValues(settings);
    ASSERT_TRUE(wreg.Save(&settings));
    EXPECT_TRUE(raw_value(HKEY_CURRENT_USER, key.path(), "Left"));
    EXPECT_FALSE(raw_value(HKEY_LOCAL_MACHINE, key.path(), "Left"));

    TStoreSettings loaded;
    ASSERT_TRUE(wreg.Load(&loaded));
    EXPECT_EQ(-20, loaded.left_);
    EXPECT_EQ("line\r\nbreak", loaded.var2_text_);
}

TEST_F(WindowsRegistryStore, AKeyWithoutWriteAccessUnderEveryRootKeepsItsValuesAndSaysWhy) {
    TStoreSettings initial;
    ASSERT_TRUE(wreg.Save(&initial));
    ASSERT_TRUE(make_key_read_only(key.path(), HKEY_CURRENT_USER));
    ASSERT_FALSE(opens_with_full_access(HKEY_CURRENT_USER, key.path()))
        << "the registry ignores the key's access list";
    TStoreSettings changed;
    FillDistinctValues(changed);
    EXPECT_FALSE(wreg.Save(&changed));
    ASSERT_EQ(1u, wreg.Errors().size());
    EXPECT_NE(std::string::npos, wreg.Errors()[0].find(key.path())) << wreg.Errors()[0];
    EXPECT_EQ(std::string("\x3a\x01\0\0", 4), stored("Left")->data) << "314 as before";
}
