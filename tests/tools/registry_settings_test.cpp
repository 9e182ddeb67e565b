#include "kvrhost/registry_settings.h"

#include "common/errors.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace kvrhost;

namespace {

const char* const kTestKey = "Software\\kvrhost-tests";

void remove_test_keys() {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kTestKey);
    RegDeleteTreeA(HKEY_CURRENT_USER, kTestKey);
}

struct StoredValue {
    DWORD type = REG_NONE;
    std::string bytes;
    bool exists = false;
};

StoredValue stored(HKEY root, const std::string& key_path, const char* name) {
    StoredValue value;
    char buffer[256];
    DWORD size = sizeof buffer;
    if (RegGetValueA(root, key_path.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, &value.type, buffer,
                     &size) != ERROR_SUCCESS)
        return value;
    value.exists = true;
    value.bytes.assign(buffer, size);
    return value;
}

class RegistrySettings : public ::testing::Test {
  protected:
    void SetUp() override { remove_test_keys(); }
    void TearDown() override { remove_test_keys(); }
};

} // namespace

TEST_F(RegistrySettings, ValuesHaveTheTypesTheFilterReads) {
    const std::string path = std::string("\\") + kTestKey + "\\Filter\\";
    const HKEY root = write_settings_registry(path, {{"Temp", "  Rel hum"}, 2500.5, true});
    ASSERT_TRUE(root == HKEY_LOCAL_MACHINE || root == HKEY_CURRENT_USER);
    const std::string key = std::string(kTestKey) + "\\Filter";

    const StoredValue var1 = stored(root, key, "Var1");
    EXPECT_EQ(DWORD(REG_SZ), var1.type);
    EXPECT_EQ(std::string("Temp\0", 5), var1.bytes);
    EXPECT_EQ(std::string("++Rel hum\0", 10), stored(root, key, "Var2").bytes);
    EXPECT_FALSE(stored(root, key, "Var3").exists);

    const StoredValue timeout = stored(root, key, "Timeout");
    EXPECT_EQ(DWORD(REG_BINARY), timeout.type);
    ASSERT_EQ(8u, timeout.bytes.size());
    double number = 0;
    std::memcpy(&number, timeout.bytes.data(), 8);
    EXPECT_EQ(2500.5, number);
    EXPECT_EQ(std::string("True\0", 5), stored(root, key, "No reset").bytes);
}

TEST_F(RegistrySettings, RewritingDeletesVariablesNoLongerGiven) {
    const std::string key = std::string(kTestKey) + "\\Filter";
    const HKEY root = write_settings_registry(key, {{"a", "b", "c", "d", "e", "f", "g", "h"}});
    EXPECT_TRUE(stored(root, key, "Var8").exists);
    EXPECT_EQ(root, write_settings_registry(key, {{"x"}, 0.0, false}));
    EXPECT_EQ(std::string("x\0", 2), stored(root, key, "Var1").bytes);
    for (const char* name : {"Var2", "Var5", "Var8"})
        EXPECT_FALSE(stored(root, key, name).exists) << name;
    EXPECT_EQ(std::string("False\0", 6), stored(root, key, "No reset").bytes);
}

TEST(RegistryKeyPath, RootKeyItselfIsRefused) {
    EXPECT_EQ("Software\\A", registry_key_path("\\Software\\A\\"));
    EXPECT_THROW(registry_key_path("\\"), kvr::Exception);
}
