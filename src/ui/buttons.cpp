#include "ui/buttons.h"

namespace kvr::ui {

const ClassInfo& TButton::StaticClassInfo() {
    static const ClassInfo info =
        ClassBuilder<TButton>("TButton", TWinControl::StaticClassInfo())
            .wide_string("Caption", &TButton::Caption, &TButton::SetCaption)
            .boolean("Default", &TButton::Default, &TButton::SetDefault)
            .boolean("Cancel", &TButton::Cancel, &TButton::SetCancel)
            .integer("ModalResult", &TButton::ModalResult, &TButton::SetModalResult)
            .build();
    return info;
}

void TButton::CreateParams(TCreateParams& params) {
    params.class_name = L"BUTTON";
    params.style = WS_TABSTOP | (shown_as_default_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
}

void TButton::CommandNotify(WORD code) {
    if (code == BN_CLICKED) Click();
}

void TButton::Click() {
    if (OnClick) OnClick(*this);
    if (modal_result_ == mrNone) return;
    if (TForm* form = ParentForm()) form->SetModalResult(modal_result_);
}

void TButton::ShowAsDefault(bool is_default) {
    if (is_default == shown_as_default_) return;
    shown_as_default_ = is_default;
    if (HandleAllocated())
        SendMessageW(Handle(), BM_SETSTYLE, is_default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

const ClassInfo& TCheckBox::StaticClassInfo() {
    static const ClassInfo info =
        ClassBuilder<TCheckBox>("TCheckBox", TWinControl::StaticClassInfo())
            .wide_string("Caption", &TCheckBox::Caption, &TCheckBox::SetCaption)
            .boolean("Checked", &TCheckBox::Checked, &TCheckBox::SetChecked)
            .build();
    return info;
}

void TCheckBox::CreateParams(TCreateParams& params) {
    params.class_name = L"BUTTON";
    params.style = WS_TABSTOP | BS_AUTOCHECKBOX;
}

void TCheckBox::WindowCreated() {
    SetChecked(checked_);
}

bool TCheckBox::Checked() const {
    if (HWND window = ExistingHandle())
        return SendMessageW(window, BM_GETCHECK, 0, 0) == BST_CHECKED;
    return checked_;
}

void TCheckBox::SetChecked(bool checked) {
    checked_ = checked;
    if (HandleAllocated())
        SendMessageW(Handle(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

} // namespace kvr::ui
