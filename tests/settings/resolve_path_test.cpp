// Resolution of control paths against forms and settings objects.

#include "propmap_fixtures.h"
#include "settings/property_map.h"

#include <gtest/gtest.h>

using namespace kvr;
using namespace kvr::testing;

namespace {

void expect_resolved(const ResolvedPath& r, const TObject* object, const std::string& name,
                     TTypeKind kind, const TComponent* owner) {
    EXPECT_EQ(object, r.object);
    EXPECT_EQ(name, r.property_name);
    EXPECT_EQ(TypeKindName(kind), TypeKindName(r.kind));
    EXPECT_EQ(owner, r.owner);
}

} // namespace

TEST(ResolvePath, FormPathsNameAComponentAndItsProperty) {
    TTestForm form;
    expect_resolved(ResolvePath(&form, "spTimeout.Value"), &form.spTimeout(), "Value", tkFloat,
                    &form);
    expect_resolved(ResolvePath(&form, "Left"), &form, "Left", tkInteger, &form);
    expect_resolved(ResolvePath(&form, "VAR1.TEXT"), &form.var1(), "TEXT", tkWString, &form);
    expect_resolved(ResolvePath(&form, "var1.Checked"), &form.var1(), "Checked", tkEnumeration,
                    &form);
}

TEST(ResolvePath, SettingsObjectsUseTheWholePathWithUnderscores) {
    TTestSettings settings;
    expect_resolved(ResolvePath(&settings, "var1.Text"), &settings, "var1_Text", tkLString,
                    &settings);
    expect_resolved(ResolvePath(&settings, "Left"), &settings, "Left", tkInteger, &settings);
    expect_resolved(ResolvePath(&settings, "VAR1.TEXT"), &settings, "VAR1_TEXT", tkLString,
                    &settings);
    expect_resolved(ResolvePath(&settings, "spTimeout.Value"), &settings, "spTimeout_Value",
                    tkFloat, &settings);
    expect_resolved(ResolvePath(&settings, "var2.Text"), &settings, "var2_Text", tkUnknown,
                    &settings);
}

TEST(ResolvePath, PathsThatLeadNowhereYieldUnknown) {
    TTestForm form;
    // A component the form does not own, read as a property of the form.
    expect_resolved(ResolvePath(&form, "btnHelp.Caption"), &form, "btnHelp", tkUnknown, &form);
    expect_resolved(ResolvePath(&form, "var1"), &form, "var1", tkUnknown, &form);
    expect_resolved(ResolvePath(&form, "var1.Colour"), &form.var1(), "Colour", tkUnknown, &form);
    expect_resolved(ResolvePath(&form, "var1."), &form.var1(), "", tkUnknown, &form);
    expect_resolved(ResolvePath(&form, ""), &form, "", tkUnknown, &form);
    // Segments left after a property that holds no object.
    expect_resolved(ResolvePath(&form, "Left.Size"), &form, "Left", tkUnknown, &form);
    expect_resolved(ResolvePath(&form, "var1.Text.Length"), &form.var1(), "Text", tkUnknown, &form);
    // An object property holding nothing, and one whose getter fails.
    expect_resolved(ResolvePath(&form, "HintFont.Size"), nullptr, "", tkUnknown, &form);
    expect_resolved(ResolvePath(&form, "Broken.Size"), nullptr, "", tkUnknown, &form);
}

TEST(ResolvePath, ObjectPropertiesLeadToTheirObjectsProperties) {
    TTestForm form;
    expect_resolved(ResolvePath(&form, "Font.Size"), &form.font_, "Size", tkInteger, &form);
    expect_resolved(ResolvePath(&form, "var1.Font.Name"), &form.var1().font_, "Name", tkLString,
                    &form);
    expect_resolved(ResolvePath(&form, "var1.Font"), &form.var1(), "Font", tkClass, &form);
}

TEST(ResolvePath, HandlerLinesKeepTheirStarredNameOnTheControl) {
    TTestForm form;
    expect_resolved(ResolvePath(&form, "cbPort.*ItemIndex"), &form.cbPort(), "*ItemIndex",
                    tkUnknown, &form);
}

TEST(ResolvePath, LongPathsMayStartAtATopLevelForm) {
    ApplicationForm other("frmOther");
    TTestForm root("frmRoot");
    expect_resolved(ResolvePath(&root, "frmOther.var1.Text"), &other->var1(), "Text", tkWString,
                    other.get());
    expect_resolved(ResolvePath(&root, "FRMOTHER.Left"), &root, "FRMOTHER", tkUnknown, &root);
    // No such top-level form: the root's own component and its object property.
    expect_resolved(ResolvePath(&root, "var1.Font.Size"), &root.var1().font_, "Size", tkInteger,
                    &root);
}

TEST(ResolvePath, WithoutRootTheApplicationsMainFormIsUsed) {
    expect_resolved(ResolvePath(nullptr, "var1.Text"), nullptr, "", tkUnknown, nullptr);
    ApplicationForm main("frmMain");
    Application().SetMainForm(main.get());
    expect_resolved(ResolvePath(nullptr, "var1.Text"), &main->var1(), "Text", tkWString,
                    main.get());
    Application().SetMainForm(nullptr);
}
