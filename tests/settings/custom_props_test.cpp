// Custom property handlers and the combo-box handler.

#include "component/prop_value_printer.h"
#include "propmap_fixtures.h"
#include "settings/custom_props.h"
#include "settings/property_map.h"

#include <gtest/gtest.h>

using namespace kvr;
using namespace kvr::testing;

TEST(CustomProps, HandlersKeepLowerCaseNamesAndAreFoundIgnoringAsciiCaseInOrder) {
    TWregCustomPropList list;
    auto first = std::make_unique<TWregCustomProp>("Caption");
    auto* first_raw = first.get();
    list.Add(std::move(first));
    list.Add(std::make_unique<TWregComboBoxProp>("ItemIndex"));
    auto second = std::make_unique<TWregCustomProp>("CAPTION");
    auto* second_raw = second.get();
    EXPECT_TRUE(list.Add(std::move(second)));
    auto access = list.Lock();
    EXPECT_EQ("caption", second_raw->Name());
    EXPECT_EQ(std::vector<TWregCustomProp*>({first_raw, second_raw}),
              access.HandlersFor("caption"));
    PropValue untouched(5);
    EXPECT_FALSE(second_raw->GetComponentValue(nullptr, "Caption", untouched)); // base: nothing
    EXPECT_EQ(PropValue(5), untouched);
    EXPECT_TRUE(access.HandlersFor("Captio").empty());
    EXPECT_THROW(list.Add(nullptr), EAssertionFailed);
}

TEST(CustomProps, ListLockIsReentrantForItsHolder) {
    TWregCustomPropList list;
    auto access = list.Lock();
    list.Add(std::make_unique<TWregCustomProp>("Hint")); // would deadlock on a plain mutex
    auto nested = list.Lock();
    EXPECT_EQ(1u, nested.HandlersFor("hint").size());
}

TEST(ComboBoxProp, StoresTheSelectedIndexOfComboBoxesOnly) {
    TWregComboBoxProp handler("ItemIndex");
    TTestCombo combo;
    combo.index_ = 2;
    PropValue value;
    ASSERT_TRUE(handler.GetComponentValue(&combo, "ItemIndex", value));
    EXPECT_EQ(PropValue(2), value);
    TTestEdit edit;
    PropValue untouched("x");
    EXPECT_FALSE(handler.GetComponentValue(&edit, "ItemIndex", untouched));
    EXPECT_FALSE(handler.GetComponentValue(nullptr, "ItemIndex", untouched));
    EXPECT_EQ(PropValue("x"), untouched);
}

TEST(ComboBoxProp, LoadIgnoresEmptyAndNonNumericTextAndMinusTwo) {
    TWregComboBoxProp handler("ItemIndex");
    TTestCombo combo;
    combo.index_ = 1;
    for (const PropValue& ignored :
         {PropValue(), PropValue::Null(), PropValue(""), PropValue("abc"), PropValue("-2"),
          PropValue("1 "), PropValue("99999999999")}) {
        handler.SetComponentValue(&combo, "ItemIndex", ignored);
        EXPECT_EQ(1, combo.index_) << ignored.to_text();
    }
    handler.SetComponentValue(&combo, "ItemIndex", PropValue("2"));
    EXPECT_EQ(2, combo.index_);
    handler.SetComponentValue(&combo, "ItemIndex", PropValue("-1"));
    EXPECT_EQ(-1, combo.index_);
    handler.SetComponentValue(&combo, "ItemIndex", PropValue(0));
    EXPECT_EQ(0, combo.index_);
    TTestEdit edit;
    handler.SetComponentValue(&edit, "ItemIndex", PropValue("1")); // no combo box: nothing
    handler.SetComponentValue(nullptr, "ItemIndex", PropValue("1"));
}

TEST(ComboBoxProp, StandardRegistrationServesStarredMapLines) {
    const std::size_t before = WregCustomProps().Lock().HandlersFor("itemindex").size();
    RegisterStandardWregCustomProps();
    TTestForm form;
    const ResolvedPath line = ResolvePath(&form, "cbPort.*ItemIndex");
    ASSERT_EQ(tkUnknown, line.kind);
    ASSERT_EQ('*', line.property_name.front());
    const std::string name = line.property_name.substr(1);
    auto access = WregCustomProps().Lock();
    const auto handlers = access.HandlersFor(name);
    ASSERT_EQ(before + 1, handlers.size());
    ASSERT_NE(nullptr, dynamic_cast<TWregComboBoxProp*>(handlers.back()));
    handlers.back()->SetComponentValue(line.object, name, PropValue("2"));
    EXPECT_EQ(2, form.cbPort().index_);
}
