// The settings store with a registry (an in-memory one): value types, the choice of the root,
// key paths, and stored values that do not fit their properties.

#include "registry_fake.h"
#include "wreg_fixtures.h"
#include "wreg_test_support.h"

#include "component/prop_value_printer.h"
#include "settings/wreg.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace kvr;
using namespace kvr::testing;

namespace {

const std::string kKey = "Software\\kvr\\Tests";

RegistryValue dword(std::int32_t value) {
    std::string bytes(4, '\0');
    std::memcpy(bytes.data(), &value, 4);
    return {regDword, bytes};
}

RegistryValue binary(double value) {
    std::string bytes(8, '\0');
    std::memcpy(bytes.data(), &value, 8);
    return {regBinary, bytes};
}

RegistryValue sz(const std::string& value) {
    return {regSz, value};
}

class RegistryStore : public ::testing::Test {
  protected:
    RegistryStore() {
        RegisterStandardHandlersOnce();
        wreg.RegistryPath = "\\" + kKey;
        wreg.Components = StoreMap();
        wreg.SetPlatform(TestPlatform(registry));
    }

    std::optional<RegistryValue> stored(const std::string& name,
                                        TRegistryRoot root = rrHKEY_LOCAL_MACHINE) const {
        return registry->Value(root, kKey, name);
    }

    std::shared_ptr<FakeRegistry> registry = std::make_shared<FakeRegistry>();
    TWreg wreg;
};

} // namespace

TEST_F(RegistryStore, SaveWritesEachKindAsItsValueTypeAndLoadReadsThemBack) {
    TStoreForm form;
    FillDistinctValues(form);
    EXPECT_TRUE(wreg.Save(&form));
    EXPECT_EQ((FakeRegistry::Values{{"left", dword(-20)},
                                    {"top", dword(40)},
                                    {"height", dword(500)},
                                    {"width", dword(640)},
                                    {"var1", sz("++speed 50%%%2B")},
                                    {"var2", sz("line%0D%0Abreak")},
                                    {"timeout", binary(1.5)},
                                    {"no reset", sz("True")},
                                    {"var1 index", sz("2")}}),
              registry->ValuesOf(rrHKEY_LOCAL_MACHINE, kKey));

    TStoreSettings settings;
    EXPECT_TRUE(wreg.Load(&settings));
    EXPECT_EQ(-20, settings.left_);
    EXPECT_EQ(640, settings.width_);
    EXPECT_EQ("  speed 50%+", settings.var1_text_);
    EXPECT_EQ("line\r\nbreak", settings.var2_text_);
    EXPECT_EQ(1.5, settings.timeout_);
    EXPECT_TRUE(settings.no_reset_);

    TStoreForm loaded;
    EXPECT_TRUE(wreg.Load(&loaded));
    EXPECT_EQ(2, loaded.var1().index_);
    EXPECT_EQ("  speed 50%+", loaded.var1().text_);
}

TEST_F(RegistryStore, FirstRootIsUsedWhenItsKeyCanBeOpenedElseTheSecond) {
    TStoreSettings settings;
    registry->unusable_roots = {rrHKEY_LOCAL_MACHINE};
    EXPECT_TRUE(wreg.Save(&settings));
    EXPECT_EQ(dword(314), stored("Left", rrHKEY_CURRENT_USER));
    EXPECT_FALSE(registry->KeyExists(rrHKEY_LOCAL_MACHINE, kKey));

    // A machine-wide location that can be used wins, for loading and saving.
    registry->unusable_roots.clear();
    registry->Put(rrHKEY_LOCAL_MACHINE, kKey, "Left", dword(1));
    EXPECT_TRUE(wreg.Load(&settings));
    EXPECT_EQ(1, settings.left_);
    settings.left_ = 2;
    EXPECT_TRUE(wreg.Save(&settings));
    EXPECT_EQ(dword(2), stored("Left"));
    EXPECT_EQ(dword(314), stored("Left", rrHKEY_CURRENT_USER));

    // Loading never makes the key: without it under the first root the second one is read.
    registry->Put(rrHKEY_CURRENT_USER, "Software\\Other", "Left", dword(3));
    wreg.RegistryPath = "Software\\Other";
    EXPECT_TRUE(wreg.Load(&settings));
    EXPECT_EQ(3, settings.left_);
    EXPECT_FALSE(registry->KeyExists(rrHKEY_LOCAL_MACHINE, "Software\\Other"));
}

TEST_F(RegistryStore, WithoutUsableRootNothingIsReadOrWritten) {
    TStoreSettings settings;
    FillDistinctValues(settings);
    registry->unusable_roots = {rrHKEY_LOCAL_MACHINE, rrHKEY_CURRENT_USER};
    EXPECT_FALSE(wreg.Save(&settings));
    EXPECT_FALSE(wreg.Load(&settings));
    EXPECT_EQ(0, registry->KeyCount());

    registry->unusable_roots.clear();
    EXPECT_FALSE(wreg.Load(&settings)) << "the key exists under neither root";
    registry->MakeKey(rrHKEY_CURRENT_USER, kKey);
    EXPECT_TRUE(wreg.Load(&settings)) << "the key exists, empty";
    EXPECT_EQ(-20, settings.left_);

    wreg.RegistryRoot = rrNone;
    EXPECT_FALSE(wreg.Save(&settings)) << "no first root: the operation fails at once";
    EXPECT_TRUE(registry->ValuesOf(rrHKEY_CURRENT_USER, kKey).empty());
    wreg.RegistryRoot = rrHKEY_LOCAL_MACHINE;
    wreg.SecondRegistryRoot = rrNone;
    registry->unusable_roots = {rrHKEY_LOCAL_MACHINE};
    EXPECT_FALSE(wreg.Save(&settings));

    wreg.SetPlatform(WregPlatform{}); // a platform without registry
    EXPECT_FALSE(wreg.Load(&settings));
    EXPECT_EQ(nullptr, wreg.Root());
}

TEST_F(RegistryStore, ValuesThatDoNotFitAreDeletedAndThePropertiesKeepTheirValues) {
    wreg.Components.Add("spTimeout.Small,Small");
    registry->Put(rrHKEY_LOCAL_MACHINE, kKey, "Timeout", sz("1.5"));
    registry->Put(rrHKEY_LOCAL_MACHINE, kKey, "Left", binary(2.0));
    registry->Put(rrHKEY_LOCAL_MACHINE, kKey, "No reset", sz("yes"));
    registry->Put(rrHKEY_LOCAL_MACHINE, kKey, "Small", binary(1e300));
    registry->Put(rrHKEY_LOCAL_MACHINE, kKey, "Var1", dword(5));
    registry->Put(rrHKEY_LOCAL_MACHINE, kKey, "Width", dword(7));
    TStoreForm form;
    form.spTimeout().small_ = 3.0f;
    EXPECT_TRUE(wreg.Load(&form));
    EXPECT_EQ(0.0, form.spTimeout().value_);
    EXPECT_EQ(314, form.left_);
    EXPECT_FALSE(form.chkNoReset().checked_);
    EXPECT_EQ(3.0f, form.spTimeout().small_);
    EXPECT_EQ("", form.var1().text_);
    EXPECT_EQ(7, form.width_);
    EXPECT_EQ((FakeRegistry::Values{{"width", dword(7)}}),
              registry->ValuesOf(rrHKEY_LOCAL_MACHINE, kKey));

    // The next save writes them afresh in the right types.
    EXPECT_TRUE(wreg.Save(&form));
    EXPECT_EQ(binary(0.0), stored("Timeout"));
    EXPECT_EQ(sz("False"), stored("No reset"));
}

TEST_F(RegistryStore, SetterThatRefusesForItsOwnReasonsKeepsTheStoredValue) {
    wreg.Components.Add("spTimeout.Fragile,Fragile");
    registry->Put(rrHKEY_LOCAL_MACHINE, kKey, "Fragile", sz("x"));
    TStoreForm form;
    EXPECT_TRUE(wreg.Load(&form));
    EXPECT_EQ(sz("x"), stored("Fragile"));
}

TEST_F(RegistryStore, SubKeysAndAnEmptyRegistryPath) {
    wreg.Components.Clear();
    wreg.Components.Add("Left,Left");
    wreg.Components.Add("Top,Sub\\Var1");
    TStoreSettings settings;
    EXPECT_TRUE(wreg.Save(&settings));
    EXPECT_EQ(dword(184), registry->Value(rrHKEY_LOCAL_MACHINE, kKey + "\\Sub", "Var1"));
    EXPECT_EQ(dword(314), stored("Left"));

    wreg.RegistryPath = "";
    EXPECT_TRUE(wreg.Save(&settings));
    EXPECT_EQ(dword(314), registry->Value(rrHKEY_LOCAL_MACHINE, "", "Left"));
    EXPECT_EQ(dword(184), registry->Value(rrHKEY_LOCAL_MACHINE, "Sub", "Var1"));
}

TEST_F(RegistryStore, LoadSkipsLinesWhoseKeyIsMissingAndNeverMakesKeys) {
    wreg.Components.Add("Top,Missing\\Top");
    registry->Put(rrHKEY_LOCAL_MACHINE, kKey, "Left", dword(1));
    TStoreSettings settings;
    EXPECT_TRUE(wreg.Load(&settings));
    EXPECT_EQ(1, settings.left_);
    EXPECT_EQ(184, settings.top_);
    EXPECT_FALSE(registry->KeyExists(rrHKEY_LOCAL_MACHINE, kKey + "\\Missing"));
}

TEST_F(RegistryStore, EmptyValuesAndNullReferencesRemoveTheStoredValue) {
    wreg.Components.Clear();
    wreg.Components.Add("spTimeout.Partner,Partner");
    wreg.Components.Add("chkNoReset.Partner,Other partner");
    TStoreForm form;
    form.SetName("frmStore");
    form.chkNoReset().partner_.reset(&form.var2());
    registry->Put(rrHKEY_LOCAL_MACHINE, kKey, "Partner", sz("old"));
    EXPECT_TRUE(wreg.Save(&form));
    EXPECT_FALSE(stored("Partner"));
    EXPECT_EQ(sz("frmStore.var2"), stored("Other partner"));

    registry->Put(rrHKEY_LOCAL_MACHINE, kKey, "Other partner", sz("[[Null]]"));
    EXPECT_TRUE(wreg.Load(&form));
    EXPECT_EQ(nullptr, form.chkNoReset().partner_.get());
}

TEST_F(RegistryStore, ValueThatCannotBeWrittenIsRemovedAndTheOthersAreWritten) {
    registry->Put(rrHKEY_LOCAL_MACHINE, kKey, "Left", dword(1));
    registry->failing_writes = {"left"};
    TStoreSettings settings;
    EXPECT_TRUE(wreg.Save(&settings));
    EXPECT_FALSE(stored("Left"));
    EXPECT_EQ(dword(389), stored("Width"));
}

TEST_F(RegistryStore, HandlerValuesAreTextsWrittenAsTheyAre) {
    TStoreForm form;
    form.var1().index_ = 1;
    EXPECT_TRUE(wreg.Save(&form));
    EXPECT_EQ(sz("1"), stored("Var1 index"));
    registry->Put(rrHKEY_LOCAL_MACHINE, kKey, "Var1 index", sz("0"));
    EXPECT_TRUE(wreg.Load(&form));
    EXPECT_EQ(0, form.var1().index_);
}

TEST(TWregTable, PublishesItsPropertiesInOrderWithTheirInitialValues) {
    TWreg wreg;
    std::vector<std::string> names;
    for (const PropInfo& info : wreg.class_info().properties())
        if (!TComponent::StaticClassInfo().find_property(info.name)) names.push_back(info.name);
    EXPECT_EQ((std::vector<std::string>{"RegistryRoot", "SecondRegistryRoot", "RegistryPath",
                                        "INIFile", "INIFileSectionPrefix", "Components", "SetValue",
                                        "GetValue", "BeforeProcessItem"}),
              names);
    EXPECT_EQ(PropValue(EnumOrdinal{rrHKEY_LOCAL_MACHINE}), GetPropValue(wreg, "RegistryRoot"));
    EXPECT_EQ(PropValue(EnumOrdinal{rrHKEY_CURRENT_USER}),
              GetPropValue(wreg, "SecondRegistryRoot"));
    EXPECT_EQ(PropValue("\\Software\\Company name\\App name"), GetPropValue(wreg, "RegistryPath"));

    SetPropValue(wreg, "SecondRegistryRoot", PropValue("rrNone"));
    EXPECT_EQ(rrNone, wreg.SecondRegistryRoot);
    TStringList lines;
    lines.Add("Left,Left");
    SetPropValue(wreg, "Components", PropValue(static_cast<TObject*>(&lines)));
    lines.Add("copied, not shared");
    EXPECT_EQ(1, wreg.Components.Count());
}
