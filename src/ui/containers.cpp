#include "ui/containers.h"

#include "ui/window_classes.h"

namespace kvr::ui {

namespace {
constexpr const wchar_t* kPanelClass = L"KvrPanel";
}

const ClassInfo& TGroupBox::StaticClassInfo() {
    static const ClassInfo info =
        ClassBuilder<TGroupBox>("TGroupBox", TWinControl::StaticClassInfo())
            .wide_string("Caption", &TGroupBox::Caption, &TGroupBox::SetCaption)
            .build();
    return info;
}

void TGroupBox::CreateParams(TCreateParams& params) {
    params.class_name = L"BUTTON";
    params.style = BS_GROUPBOX | WS_CLIPCHILDREN;
    params.ex_style = WS_EX_CONTROLPARENT;
}

LRESULT TGroupBox::WndProc(UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_ERASEBKGND) {
        // A group box paints only its frame and caption; behind the controls it holds, the
        // button face is filled in here.
        RECT area;
        GetClientRect(Handle(), &area);
        FillRect(reinterpret_cast<HDC>(wparam), &area, GetSysColorBrush(COLOR_BTNFACE));
        return 1;
    }
    return TWinControl::WndProc(message, wparam, lparam);
}

const ClassInfo& TPanel::StaticClassInfo() {
    static const ClassInfo info =
        ClassBuilder<TPanel>("TPanel", TWinControl::StaticClassInfo())
            .enumeration<TPanelBevel>("BevelOuter", {"bvNone", "bvLowered", "bvRaised", "bvSpace"},
                                      &TPanel::BevelOuter, &TPanel::SetBevelOuter)
            .build();
    return info;
}

void TPanel::CreateParams(TCreateParams& params) {
    EnsureWindowClass(kPanelClass);
    params.class_name = kPanelClass;
    params.style = WS_CLIPCHILDREN;
    params.ex_style = WS_EX_CONTROLPARENT;
}

void TPanel::SetBevelOuter(TPanelBevel bevel) {
    bevel_outer_ = bevel;
    if (HWND window = ExistingHandle()) InvalidateRect(window, nullptr, TRUE);
}

LRESULT TPanel::WndProc(UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_PAINT && (bevel_outer_ == bvLowered || bevel_outer_ == bvRaised)) {
        const LRESULT result = TWinControl::WndProc(message, wparam, lparam);
        HDC dc = GetDC(Handle());
        RECT area;
        GetClientRect(Handle(), &area);
        DrawEdge(dc, &area, bevel_outer_ == bvLowered ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
        ReleaseDC(Handle(), dc);
        return result;
    }
    return TWinControl::WndProc(message, wparam, lparam);
}

void TPanel::Resized() {
    if (OnResize) OnResize(*this);
}

} // namespace kvr::ui
