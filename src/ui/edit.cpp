#include "ui/edit.h"

namespace kvr::ui {

const ClassInfo& TCustomEdit::StaticClassInfo() {
    static const ClassInfo info =
        ClassBuilder<TCustomEdit>("TCustomEdit", TWinControl::StaticClassInfo())
            .wide_string(
                "Text", [](TCustomEdit& edit) { return edit.Text(); },
                [](TCustomEdit& edit, std::u16string text) { edit.SetText(text); })
            .build();
    return info;
}

const ClassInfo& TEdit::StaticClassInfo() {
    static const ClassInfo info =
        ClassBuilder<TEdit>("TEdit", TCustomEdit::StaticClassInfo()).build();
    return info;
}

void TCustomEdit::CreateParams(TCreateParams& params) {
    params.class_name = L"EDIT";
    params.style = WS_TABSTOP | ES_AUTOHSCROLL;
    params.ex_style = WS_EX_CLIENTEDGE;
}

} // namespace kvr::ui
