#include "ui/spin_edit.h"

#include "common/win32_handle.h"
#include "component/text_platform.h"
#include "component/text_util.h"
#include "ui/window_classes.h"

#include <commctrl.h>

namespace kvr::ui {

namespace {

constexpr const wchar_t* kSpinEditClass = L"KvrSpinEdit";
constexpr UINT_PTR kEditSubclassId = 0x4B565245; // "KVRE"

std::u16string edit_text(HWND edit) {
    const int length = GetWindowTextLengthW(edit);
    std::u16string text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, u'\0');
    const int copied = GetWindowTextW(edit, reinterpret_cast<LPWSTR>(text.data()), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

} // namespace

const ClassInfo& TSpinEdit::StaticClassInfo() {
    static const ClassInfo info =
        ClassBuilder<TSpinEdit>("TSpinEdit", TWinControl::StaticClassInfo())
            .floating("Value", &TSpinEdit::Value, &TSpinEdit::SetValue)
            .floating("Increment", &TSpinEdit::Increment, &TSpinEdit::SetIncrement)
            .build();
    return info;
}

TSpinEdit::~TSpinEdit() {
    if (edit_) RemoveWindowSubclass(edit_, &TSpinEdit::EditProc, kEditSubclassId);
}

double TSpinEdit::Value() const {
    if (!edit_) return value_;
    const std::string text = text_platform().wide_to_ansi(edit_text(edit_));
    if (const std::optional<double> number = text::parse_float(text)) value_ = *number;
    return value_;
}

void TSpinEdit::SetValue(double value) {
    value_ = value;
    ShowValue();
}

void TSpinEdit::ShowValue() {
    if (!edit_) return;
    const std::u16string text = text_platform().ansi_to_wide(text::format_float(value_));
    SetWindowTextW(edit_, reinterpret_cast<LPCWSTR>(text.c_str()));
}

void TSpinEdit::CreateParams(TCreateParams& params) {
    EnsureWindowClass(kSpinEditClass);
    params.class_name = kSpinEditClass;
    params.style = WS_CLIPCHILDREN;
    params.ex_style = WS_EX_CONTROLPARENT;
}

void TSpinEdit::WindowCreated() {
    HWND window = ExistingHandle();
    const HINSTANCE module = ToolkitModule();
    edit_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 0, 0, 0, 0, window,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(NextControlId())), module,
                            nullptr);
    if (!edit_) throw_last_error("CreateWindowExW");
    updown_ =
        CreateWindowExW(0, UPDOWN_CLASSW, L"", WS_CHILD | WS_VISIBLE | UDS_ARROWKEYS | UDS_HOTTRACK,
                        0, 0, 0, 0, window, nullptr, module, nullptr);
    SetWindowSubclass(edit_, &TSpinEdit::EditProc, kEditSubclassId,
                      reinterpret_cast<DWORD_PTR>(this));
    SendMessageW(edit_, WM_SETFONT, reinterpret_cast<WPARAM>(FontHandle()), FALSE);
    if (updown_) {
        SendMessageW(updown_, UDM_SETBUDDY, reinterpret_cast<WPARAM>(edit_), 0);
        SendMessageW(updown_, UDM_SETRANGE32, 0, 100);
        SendMessageW(updown_, UDM_SETPOS32, 0, 50);
    }
    ShowValue();
    Resized();
}

void TSpinEdit::Resized() {
    HWND window = ExistingHandle();
    if (!window || !edit_) return;
    RECT area;
    GetClientRect(window, &area);
    const int buttons = updown_ ? GetSystemMetrics(SM_CXVSCROLL) : 0;
    MoveWindow(edit_, 0, 0, area.right - buttons, area.bottom, TRUE);
    if (updown_) MoveWindow(updown_, area.right - buttons, 0, buttons, area.bottom, TRUE);
}

LRESULT TSpinEdit::WndProc(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_SETFOCUS:
        if (edit_) SetFocus(edit_);
        return 0;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lparam);
        if (header && header->hwndFrom == updown_ && header->code == UDN_DELTAPOS) {
            const auto* step = reinterpret_cast<const NMUPDOWN*>(lparam);
            SetValue(Value() + step->iDelta * increment_);
            return 1; // the buttons' own position never moves: no limits
        }
        break;
    }
    case WM_COMMAND:
        if (reinterpret_cast<HWND>(lparam) == edit_ && HIWORD(wparam) == EN_KILLFOCUS) {
            Value();
            ShowValue(); // text that was no number shows the last number again
            return 0;
        }
        break;
    case WM_ENABLE:
        if (edit_) EnableWindow(edit_, static_cast<BOOL>(wparam));
        if (updown_) EnableWindow(updown_, static_cast<BOOL>(wparam));
        break;
    default:
        break;
    }
    return TWinControl::WndProc(message, wparam, lparam);
}

bool TSpinEdit::CanBePartOfNumber(wchar_t c) {
    if (c < 32) return true; // editing keys: backspace, copy, paste, undo
    if ((c >= L'0' && c <= L'9') || c == L'+' || c == L'-' || c == L'.') return true;
    return c ==
           static_cast<wchar_t>(static_cast<unsigned char>(text_platform().decimal_separator()));
}

LRESULT CALLBACK TSpinEdit::EditProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                     UINT_PTR id, DWORD_PTR data) {
    auto* self = reinterpret_cast<TSpinEdit*>(data);
    switch (message) {
    case WM_CHAR:
        if (!CanBePartOfNumber(static_cast<wchar_t>(wparam))) {
            MessageBeep(MB_OK);
            return 0;
        }
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(window, &TSpinEdit::EditProc, id);
        if (self->edit_ == window) {
            self->edit_ = nullptr;
            self->updown_ = nullptr;
        }
        break;
    default:
        break;
    }
    return DefSubclassProc(window, message, wparam, lparam);
}

} // namespace kvr::ui
