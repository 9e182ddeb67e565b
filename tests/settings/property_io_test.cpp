// Reading and writing properties of every kind as the settings store does.

#include "component/prop_value_printer.h"
#include "propmap_fixtures.h"
#include "settings/map_lines.h"
#include "settings/property_map.h"

#include <gtest/gtest.h>

#include <map>

using namespace kvr;
using namespace kvr::testing;

namespace {

PropValue read(TObject& object, const char* name, TTypeKind kind, bool escape = true) {
    return ReadProperty(&object, name, kind, escape);
}

void write(TObject& object, const char* name, const PropValue& value, TTypeKind kind,
           TComponent* owner = nullptr) {
    WriteProperty(&object, name, owner, value, kind);
}

} // namespace

TEST(ReadProperty, NumbersAndVariantsAreReadAsTheyAreTextKindsAsEscapedText) {
    TTestEdit edit;
    edit.left_ = -5;
    edit.value_ = 1500.9;
    edit.data_ = PropValue(2.5);
    EXPECT_EQ(PropValue(-5), read(edit, "left", tkInteger));
    EXPECT_EQ(PropValue(1500.9), read(edit, "Value", tkFloat));
    EXPECT_EQ(PropValue(2.5), read(edit, "Data", tkVariant));
    edit.caption_ = "  a  b ";
    edit.short_caption_ = "50%+";
    edit.text_ = u"caf\u00e9\r\n";
    edit.accel_ = '\xe9';
    edit.wide_accel_ = u'\u263A';
    EXPECT_EQ(PropValue("++a+ b "), read(edit, "Caption", tkLString));
    EXPECT_EQ(PropValue("  a  b "), read(edit, "Caption", tkLString, false));
    EXPECT_EQ(PropValue("50%%%2B"), read(edit, "ShortCaption", tkString));
    EXPECT_EQ(PropValue("caf\xe9%0D%0A"), read(edit, "Text", tkWString));
    EXPECT_EQ(PropValue("233"), read(edit, "Accel", tkChar));
    EXPECT_EQ(PropValue("9786"), read(edit, "WideAccel", tkWChar));
}

TEST(ReadProperty, EnumerationsGiveTheirDeclaredNames) {
    TTestEdit edit;
    edit.checked_ = true;
    edit.align_ = TAlign::alClient;
    EXPECT_EQ(PropValue("True"), read(edit, "Checked", tkEnumeration));
    EXPECT_EQ(PropValue("alClient"), read(edit, "Align", tkEnumeration));
}

TEST(ReadProperty, ObjectsGiveListTextOrComponentPathOrNull) {
    ApplicationForm form("frmOptions");
    TTestEdit& edit = form->var1();
    edit.items_.SetText("one\r\ntwo");
    EXPECT_EQ(PropValue("one%0D%0Atwo%0D%0A"), read(edit, "Items", tkClass));
    EXPECT_EQ(PropValue("one\r\ntwo\r\n"), read(edit, "Items", tkClass, false));
    EXPECT_TRUE(read(edit, "Partner", tkClass).is_null());
    edit.partner_.reset(&form->spTimeout());
    EXPECT_EQ(PropValue("Application.frmOptions.spTimeout"), read(edit, "Partner", tkClass));
    EXPECT_TRUE(read(edit, "Font", tkClass).is_null()); // an object that is no component
}

TEST(ReadProperty, KindsThatAreNotStoredAndMissingPropertiesGiveNull) {
    TTestEdit edit;
    edit.options_ = 1;
    edit.big_ = 7;
    for (auto [name, kind] :
         std::vector<std::pair<const char*, TTypeKind>>{{"Options", tkSet},
                                                        {"Big", tkInt64},
                                                        {"OnChange", tkMethod},
                                                        {"BoundsRect", tkRecord},
                                                        {"Handles", tkDynArray},
                                                        {"Left", tkUnknown},
                                                        {"Left", tkArray},
                                                        {"Left", tkInterface},
                                                        {"Missing", tkInteger}})
        EXPECT_TRUE(read(edit, name, kind).is_null()) << name;
    EXPECT_TRUE(ReadProperty(nullptr, "Left", tkInteger, true).is_null());
}

TEST(WriteProperty, NumbersConvertToThePropertyTypeOrFailLeavingItUnchanged) {
    TTestEdit edit;
    write(edit, "Left", PropValue(42), tkInteger);
    write(edit, "Value", PropValue(1.5), tkFloat);
    write(edit, "Data", PropValue("kept as text"), tkVariant);
    EXPECT_EQ(42, edit.left_);
    EXPECT_EQ(1.5, edit.value_);
    EXPECT_EQ(PropValue("kept as text"), edit.data_);
    write(edit, "Left", PropValue("17"), tkInteger);
    EXPECT_EQ(17, edit.left_);
    EXPECT_THROW(write(edit, "Left", PropValue(std::int64_t{1} << 40), tkInteger), EConvertError);
    EXPECT_THROW(write(edit, "Value", PropValue("abc"), tkFloat), EConvertError);
    EXPECT_EQ(17, edit.left_);
    EXPECT_EQ(1.5, edit.value_);
}

TEST(WriteProperty, TextKindsAreUnescapedAndWideTextConverted) {
    TTestEdit edit;
    write(edit, "Caption", PropValue("++a+ b "), tkLString);
    write(edit, "ShortCaption", PropValue("50%%%2B"), tkString);
    write(edit, "Text", PropValue("caf\xe9%0D%0A"), tkWString);
    write(edit, "Accel", PropValue("66"), tkChar);
    write(edit, "WideAccel", PropValue("9786"), tkWChar);
    EXPECT_EQ("  a  b ", edit.caption_);
    EXPECT_EQ("50%+", edit.short_caption_);
    EXPECT_EQ(u"caf\u00e9\r\n", edit.text_);
    EXPECT_EQ('B', edit.accel_);
    EXPECT_EQ(u'\u263A', edit.wide_accel_);
    EXPECT_THROW(write(edit, "Accel", PropValue("B"), tkChar), EConvertError);
    EXPECT_EQ('B', edit.accel_);
}

TEST(WriteProperty, EnumerationsTakeTheirNamesInAnyCaseAndIgnoreEmptyText) {
    TTestEdit edit;
    write(edit, "Checked", PropValue("true"), tkEnumeration);
    EXPECT_TRUE(edit.checked_);
    EXPECT_THROW(write(edit, "Checked", PropValue("yes"), tkEnumeration), EConvertError);
    EXPECT_THROW(write(edit, "Checked", PropValue("1"), tkEnumeration), EConvertError);
    EXPECT_TRUE(edit.checked_);
    write(edit, "Checked", PropValue(""), tkEnumeration);
    write(edit, "Checked", PropValue::Null(), tkEnumeration);
    EXPECT_TRUE(edit.checked_);
    write(edit, "Align", PropValue("ALTOP"), tkEnumeration);
    EXPECT_EQ(TAlign::alTop, edit.align_);
}

TEST(WriteProperty, StringListsTakeTheUnescapedTextInPlace) {
    TTestEdit edit;
    edit.items_.Add("old");
    write(edit, "Items", PropValue("x%0D%0A+y%0D%0A"), tkClass);
    ASSERT_EQ(2, edit.items_.Count());
    EXPECT_EQ("x", edit.items_.Get(0));
    EXPECT_EQ(" y", edit.items_.Get(1));
}

TEST(WriteProperty, ComponentReferencesFollowPathsAndNullClearsExceptDockProperties) {
    ApplicationForm form("frmOptions");
    TTestEdit& edit = form->var1();
    write(edit, "Partner", PropValue("Application.frmOptions.spTimeout"), tkClass, form.get());
    EXPECT_EQ(&form->spTimeout(), edit.partner_.get());
    write(edit, "Partner", PropValue("cbPort"), tkClass, form.get()); // relative to the owner
    EXPECT_EQ(&form->cbPort(), edit.partner_.get());
    write(edit, "Partner", PropValue("btnGone"), tkClass, form.get());
    EXPECT_EQ(&form->cbPort(), edit.partner_.get()); // a path that finds nothing changes nothing
    write(edit, "Partner", PropValue::Null(), tkClass, form.get());
    EXPECT_EQ(nullptr, edit.partner_.get());
    write(edit, "Partner", PropValue("var1"), tkClass, form.get());
    write(edit, "Partner", PropValue(""), tkClass, form.get());
    EXPECT_EQ(nullptr, edit.partner_.get());

    write(edit, "HostDockSite", PropValue("spTimeout"), tkClass, form.get());
    write(edit, "HostDockSite", PropValue::Null(), tkClass, form.get());
    EXPECT_EQ(&form->spTimeout(), edit.host_dock_site_.get());
    write(edit, "HostDockSite", PropValue(""), tkClass, form.get());
    EXPECT_EQ(nullptr, edit.host_dock_site_.get());
}

TEST(WriteProperty, ObjectsThatAreNotComponentsAreNeverReplacedByStoredText) {
    // Regression: clearing such a property from an empty stored text freed the control's font.
    TTestEdit edit;
    TTestFont* spare = edit.spare_font_.get();
    write(edit, "SpareFont", PropValue(""), tkClass);
    write(edit, "SpareFont", PropValue::Null(), tkClass);
    write(edit, "Attachment", PropValue(""), tkClass);
    write(edit, "Attachment", PropValue::Null(), tkClass);
    EXPECT_EQ(spare, edit.spare_font_.get());
}

TEST(WriteProperty, KindsThatAreNotStoredReadOnlyAndMissingPropertiesAreLeftAlone) {
    TTestEdit edit;
    write(edit, "Options", PropValue(1), tkSet);
    write(edit, "Big", PropValue(1), tkInt64);
    write(edit, "OnChange", PropValue("x"), tkMethod);
    write(edit, "BoundsRect", PropValue(1), tkRecord);
    write(edit, "Handles", PropValue(1), tkDynArray);
    write(edit, "Missing", PropValue(1), tkInteger);
    EXPECT_EQ(0u, edit.options_);
    EXPECT_EQ(0, edit.big_);
    EXPECT_EQ(0, edit.events_set_);
    TStringList list;
    WriteProperty(&list, "Count", nullptr, PropValue(5), tkInteger); // read-only
    EXPECT_EQ(0, list.Count());
    WriteProperty(nullptr, "Left", nullptr, PropValue(5), tkInteger);
}

TEST(PropertyMap, FormAndSettingsObjectExchangeEveryValueThroughTheStoredForm) {
    TStringList map;
    map.SetText("Left,Left\r\n;---short---\r\nvar1.Text,Var1\r\nspTimeout.Value,Timeout\r\n"
                "var1.Checked,No reset");
    TTestForm form;
    form.left_ = 17;
    form.var1().text_ = u"  T\u00e9mp\t+1% ";
    form.spTimeout().value_ = 2.75;
    form.var1().checked_ = true;

    // Save from one root, load into another, as the store does through its locations.
    const auto transfer = [&](TComponent& from, TComponent& to) {
        std::map<std::string, PropValue> store;
        for (int i = 0; i < map.Count(); ++i) {
            const auto line = ParseMapLine(map.Get(i));
            if (!line) continue;
            const ResolvedPath source = ResolvePath(&from, line->control_path);
            ASSERT_NE(tkUnknown, source.kind) << line->control_path;
            store[line->storage_name] =
                ReadProperty(source.object, source.property_name, source.kind, true);
            const ResolvedPath target = ResolvePath(&to, line->control_path);
            ASSERT_NE(tkUnknown, target.kind) << line->control_path;
            WriteProperty(target.object, target.property_name, target.owner,
                          store[line->storage_name], target.kind);
        }
        EXPECT_EQ(PropValue("++T\xe9mp%09%2B1%% "), store["Var1"]);
    };
    TTestSettings settings;
    transfer(form, settings);
    EXPECT_EQ(17, settings.left_);
    EXPECT_EQ("  T\xe9mp\t+1% ", settings.var1_text_);
    EXPECT_EQ(2.75, settings.timeout_);
    EXPECT_TRUE(settings.checked_);

    TTestForm copy("frmCopy");
    transfer(settings, copy);
    EXPECT_EQ(17, copy.left_);
    EXPECT_EQ(u"  T\u00e9mp\t+1% ", copy.var1().text_);
    EXPECT_EQ(2.75, copy.spTimeout().value_);
    EXPECT_TRUE(copy.var1().checked_);
}

TEST(ComponentPath, NamesTheChainOfOwnersUpToTheApplication) {
    ApplicationForm form("frmOptions");
    EXPECT_EQ("Application.frmOptions.var1", ComponentPath(form->var1()));
    EXPECT_EQ("Application.frmOptions", ComponentPath(*form));
    EXPECT_EQ("Application", ComponentPath(Application()));
    TTestForm loose("frmLoose");
    EXPECT_EQ("frmLoose.cbPort", ComponentPath(loose.cbPort()));
    EXPECT_EQ("frmLoose", ComponentPath(loose));
}

TEST(FindComponentByPath, SearchesFromTheStartThenFromTheApplication) {
    ApplicationForm form("frmOptions");
    ApplicationForm other("frmOther");
    TComponent* var1 = &form->var1();
    EXPECT_EQ(var1, FindComponentByPath("Application.frmOptions.var1", other.get()));
    EXPECT_EQ(var1, FindComponentByPath("APPLICATION.FRMOPTIONS.VAR1", nullptr));
    EXPECT_EQ(&other->var1(), FindComponentByPath("var1", other.get()));
    EXPECT_EQ(var1, FindComponentByPath("frmOptions.var1", other.get()));
    EXPECT_EQ(var1, FindComponentByPath("frmOptions.var1", nullptr));
    EXPECT_EQ(form.get(), FindComponentByPath("frmOptions", &form->cbPort()));
    EXPECT_EQ(nullptr, FindComponentByPath("frmOptions.var1.more", nullptr));
    EXPECT_EQ(nullptr, FindComponentByPath("frmOptions.", nullptr));
    EXPECT_EQ(nullptr, FindComponentByPath("Application", nullptr));
    EXPECT_EQ(nullptr, FindComponentByPath("Application.frmNone.var1", form.get()));
    EXPECT_EQ(nullptr, FindComponentByPath("", form.get()));
    // The path ComponentPath gives leads back to the component.
    EXPECT_EQ(&form->cbPort(), FindComponentByPath(ComponentPath(form->cbPort()), nullptr));
}
