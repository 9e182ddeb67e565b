#include "ui/static_controls.h"

#include "ui/window_classes.h"

namespace kvr::ui {

namespace {

constexpr const wchar_t* kLabelClass = L"KvrLabel";
constexpr const wchar_t* kBevelClass = L"KvrBevel";

// Paints the window between BeginPaint and EndPaint.
template <class PaintFunction> void paint_window(HWND window, PaintFunction paint) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    if (!dc) return;
    RECT area;
    GetClientRect(window, &area);
    FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
    paint(dc, area);
    EndPaint(window, &ps);
}

} // namespace

const ClassInfo& TLabel::StaticClassInfo() {
    static const ClassInfo info =
        ClassBuilder<TLabel>("TLabel", TWinControl::StaticClassInfo())
            .wide_string("Caption", &TLabel::Caption, &TLabel::SetCaption)
            .boolean("WordWrap", &TLabel::WordWrap, &TLabel::SetWordWrap)
            .boolean("AutoSize", &TLabel::AutoSize, &TLabel::SetAutoSize)
            .enumeration<TTextLayout>("Layout", {"tlTop", "tlCenter", "tlBottom"}, &TLabel::Layout,
                                      &TLabel::SetLayout)
            .enumeration<TAlignment>("Alignment", {"taLeftJustify", "taRightJustify", "taCenter"},
                                     &TLabel::Alignment, &TLabel::SetAlignment)
            .build();
    return info;
}

void TLabel::CreateParams(TCreateParams& params) {
    EnsureWindowClass(kLabelClass);
    params.class_name = kLabelClass;
}

void TLabel::SetCaption(std::u16string caption) {
    SetText(caption);
    Repaint();
}

void TLabel::SetWordWrap(bool wrap) {
    word_wrap_ = wrap;
    Repaint();
}

void TLabel::SetLayout(TTextLayout layout) {
    layout_ = layout;
    Repaint();
}

void TLabel::SetAlignment(TAlignment alignment) {
    alignment_ = alignment;
    Repaint();
}

void TLabel::Repaint() {
    if (HWND window = ExistingHandle()) InvalidateRect(window, nullptr, TRUE);
}

LRESULT TLabel::WndProc(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_ERASEBKGND:
        return 1; // painted whole in WM_PAINT, without flicker
    case WM_PAINT:
        paint_window(Handle(), [this](HDC dc, const RECT& area) { Paint(dc, area); });
        return 0;
    case WM_SIZE:
        Repaint();
        break;
    default:
        break;
    }
    return TWinControl::WndProc(message, wparam, lparam);
}

void TLabel::Paint(HDC dc, const RECT& area) {
    const std::u16string text = Caption();
    const auto* wide = reinterpret_cast<LPCWSTR>(text.c_str());
    HGDIOBJ previous = SelectObject(dc, FontHandle());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(Enabled() ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    UINT flags = DT_EXPANDTABS | (word_wrap_ ? DT_WORDBREAK : 0);
    if (alignment_ == taRightJustify) flags |= DT_RIGHT;
    if (alignment_ == taCenter) flags |= DT_CENTER;
    RECT text_area = area;
    if (layout_ != tlTop) {
        RECT measured = area;
        DrawTextW(dc, wide, -1, &measured, flags | DT_CALCRECT);
        const LONG spare = (area.bottom - area.top) - (measured.bottom - measured.top);
        text_area.top += layout_ == tlCenter ? spare / 2 : spare;
    }
    DrawTextW(dc, wide, -1, &text_area, flags);
    SelectObject(dc, previous);
}

const ClassInfo& TBevel::StaticClassInfo() {
    static const ClassInfo info =
        ClassBuilder<TBevel>("TBevel", TWinControl::StaticClassInfo())
            .enumeration<TBevelShape>("Shape",
                                      {"bsBox", "bsFrame", "bsTopLine", "bsBottomLine",
                                       "bsLeftLine", "bsRightLine", "bsSpacer"},
                                      &TBevel::Shape, &TBevel::SetShape)
            .enumeration<TBevelStyle>("Style", {"bsLowered", "bsRaised"}, &TBevel::Style,
                                      &TBevel::SetStyle)
            .build();
    return info;
}

void TBevel::CreateParams(TCreateParams& params) {
    EnsureWindowClass(kBevelClass);
    params.class_name = kBevelClass;
}

void TBevel::SetShape(TBevelShape shape) {
    shape_ = shape;
    if (HWND window = ExistingHandle()) InvalidateRect(window, nullptr, TRUE);
}

void TBevel::SetStyle(TBevelStyle style) {
    style_ = style;
    if (HWND window = ExistingHandle()) InvalidateRect(window, nullptr, TRUE);
}

LRESULT TBevel::WndProc(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_NCHITTEST:
        return HTTRANSPARENT; // a line: clicks go to what lies beneath
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        paint_window(Handle(), [this](HDC dc, const RECT& area) {
            RECT edge = area;
            const UINT kind = style_ == bsLowered ? EDGE_ETCHED : EDGE_BUMP;
            switch (shape_) {
            case bsBox:
                DrawEdge(dc, &edge, style_ == bsLowered ? BDR_SUNKENOUTER : BDR_RAISEDINNER,
                         BF_RECT);
                break;
            case bsFrame:
                DrawEdge(dc, &edge, kind, BF_RECT);
                break;
            case bsTopLine:
                DrawEdge(dc, &edge, kind, BF_TOP);
                break;
            case bsBottomLine:
                DrawEdge(dc, &edge, kind, BF_BOTTOM);
                break;
            case bsLeftLine:
                DrawEdge(dc, &edge, kind, BF_LEFT);
                break;
            case bsRightLine:
                DrawEdge(dc, &edge, kind, BF_RIGHT);
                break;
            case bsSpacer:
                break;
            }
        });
        return 0;
    case WM_SIZE:
        InvalidateRect(Handle(), nullptr, TRUE);
        break;
    default:
        break;
    }
    return TWinControl::WndProc(message, wparam, lparam);
}

} // namespace kvr::ui
