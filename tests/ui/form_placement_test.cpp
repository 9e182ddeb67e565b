// Centring a form when the host gave no window of its own: over the application's main form.

#include "component/application.h"
#include "plugin/form_placement.h"
#include "ui/form.h"

#include <gtest/gtest.h>

using namespace kvr;

namespace {

class TPlacedForm : public ui::TForm {
    KVR_REFLECTED_CLASS()
};

const ClassInfo& TPlacedForm::StaticClassInfo() {
    static const ClassInfo info =
        ClassBuilder<TPlacedForm>("TPlacedForm", ui::TForm::StaticClassInfo()).build();
    return info;
}

} // namespace

TEST(FormPlacement, WithoutAnOwnerWindowTheMainFormIsTheReference) {
    TPlacedForm main_form;
    main_form.SetBounds(200, 150, 500, 400);
    TPlacedForm form;
    form.SetBounds(0, 0, 300, 200);
    form.Handle();
    TkvrPlugin module(nullptr);

    Application().SetMainForm(&main_form);      // without its window yet: not a reference
    ASSERT_TRUE(CentreOverOwner(module, form)); // the monitor under the cursor instead
    main_form.Handle();
    ASSERT_TRUE(CentreOverOwner(module, form));
    EXPECT_EQ(300, form.Left());
    EXPECT_EQ(250, form.Top());
    EXPECT_EQ(300, form.Width());

    // The host's window comes first.
    TPlacedForm host;
    host.SetBounds(10, 20, 100, 100);
    module.OwnerForm = host.Handle();
    ASSERT_TRUE(CentreOverOwner(module, form));
    RECT owner; // the system gives a captioned window a least size
    GetWindowRect(module.OwnerForm, &owner);
    EXPECT_EQ(owner.left + (owner.right - owner.left - 300) / 2, form.Left());
    EXPECT_EQ(owner.top + (owner.bottom - owner.top - 200) / 2, form.Top());
    Application().SetMainForm(nullptr);
}
