#include "ui/control.h"

#include "common/win32_handle.h"
#include "ui/form.h"
#include "ui/window_classes.h"

#include <commctrl.h>

#include <algorithm>

namespace kvr::ui {

namespace {

constexpr UINT_PTR kSubclassId = 0x4B565255; // "KVRU"
// The window property that leads from a window to its control.
constexpr const wchar_t* kControlProperty = L"KvrControl";

std::u16string window_text(HWND window) {
    const int length = GetWindowTextLengthW(window);
    if (length <= 0) return {};
    std::u16string text(static_cast<std::size_t>(length) + 1, u'\0');
    const int copied = GetWindowTextW(window, reinterpret_cast<LPWSTR>(text.data()), length + 1);
    text.resize(static_cast<std::size_t>(std::max(copied, 0)));
    return text;
}

} // namespace

const std::vector<std::string>& AlignNames() {
    static const std::vector<std::string> names{"alNone", "alTop",   "alBottom",
                                                "alLeft", "alRight", "alClient"};
    return names;
}

const std::vector<std::string>& AnchorNames() {
    static const std::vector<std::string> names{"akLeft", "akTop", "akRight", "akBottom"};
    return names;
}

const ClassInfo& TWinControl::StaticClassInfo() {
    static const ClassInfo info =
        ClassBuilder<TWinControl>("TWinControl", TComponent::StaticClassInfo())
            .integer("Left", &TWinControl::Left, &TWinControl::SetLeft)
            .integer("Top", &TWinControl::Top, &TWinControl::SetTop)
            .integer("Width", &TWinControl::Width, &TWinControl::SetWidth)
            .integer("Height", &TWinControl::Height, &TWinControl::SetHeight)
            .enumeration<TAlign>("Align", AlignNames(), &TWinControl::Align, &TWinControl::SetAlign)
            .set("Anchors", AnchorNames(), &TWinControl::Anchors, &TWinControl::SetAnchors)
            .boolean("Visible", &TWinControl::Visible, &TWinControl::SetVisible)
            .boolean("Enabled", &TWinControl::Enabled, &TWinControl::SetEnabled)
            .integer("HelpContext", &TWinControl::HelpContext, &TWinControl::SetHelpContext)
            .wide_string("Hint", &TWinControl::Hint, &TWinControl::SetHint)
            .integer("TabOrder", &TWinControl::TabOrder, &TWinControl::SetTabOrder)
            .build();
    return info;
}

TWinControl::~TWinControl() {
    for (TWinControl* child : children_)
        child->parent_ = nullptr;
    if (parent_) parent_->RemoveChild(*this);
    DestroyHandle();
}

void TWinControl::SetParent(TWinControl* parent) {
    if (parent == parent_) return;
    if (parent_) parent_->RemoveChild(*this);
    DestroyHandle();
    parent_ = parent;
    if (!parent_) return;
    parent_->children_.push_back(this);
    parent_->tab_order_.push_back(this);
    CreateHandle();
    RecordEdgeGaps();
    if (align_ != alNone) parent_->Realign();
}

void TWinControl::Place(TWinControl& parent, const Placement& placement) {
    bounds_ = {placement.left, placement.top, placement.width, placement.height};
    align_ = placement.align;
    anchors_ = placement.anchors;
    SetParent(&parent);
    if (placement.tab_order >= 0) SetTabOrder(placement.tab_order);
}

void TWinControl::RemoveChild(TWinControl& child) {
    std::erase(children_, &child);
    std::erase(tab_order_, &child);
}

void TWinControl::SetBounds(std::int32_t left, std::int32_t top, std::int32_t width,
                            std::int32_t height) {
    const Bounds wanted{left, top, std::max(0, width), std::max(0, height)};
    const bool resized = wanted.width != bounds_.width || wanted.height != bounds_.height;
    bounds_ = wanted;
    if (handle_) {
        UpdateWindowBounds();
    } else if (resized) {
        Realign();
        Resized();
    }
    RecordEdgeGaps();
    if (parent_ && align_ != alNone) parent_->Realign();
}

void TWinControl::SetLayoutBounds(const Bounds& bounds) {
    if (bounds == bounds_) return;
    const bool resized = bounds.width != bounds_.width || bounds.height != bounds_.height;
    bounds_ = bounds;
    if (handle_) {
        UpdateWindowBounds(); // its WM_SIZE lays out what this control holds
    } else if (resized) {
        Realign();
        Resized();
    }
}

void TWinControl::SetAlign(TAlign align) {
    if (align == align_) return;
    align_ = align;
    if (parent_) parent_->Realign();
}

void TWinControl::SetAnchors(TAnchors anchors) {
    anchors_ = anchors;
    RecordEdgeGaps();
}

void TWinControl::SetVisible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    if (handle_ && parent_) ShowWindow(handle_, visible ? SW_SHOWNA : SW_HIDE);
    if (parent_ && align_ != alNone) parent_->Realign();
}

void TWinControl::SetEnabled(bool enabled) {
    enabled_ = enabled;
    if (handle_) EnableWindow(handle_, enabled ? TRUE : FALSE);
}

std::int32_t TWinControl::TabOrder() const {
    if (!parent_) return -1;
    const auto& order = parent_->tab_order_;
    return static_cast<std::int32_t>(std::find(order.begin(), order.end(), this) - order.begin());
}

void TWinControl::SetTabOrder(std::int32_t order) {
    if (!parent_) return;
    auto& list = parent_->tab_order_;
    std::erase(list, this);
    const auto position =
        static_cast<std::size_t>(std::clamp<std::int32_t>(order, 0, std::int32_t(list.size())));
    list.insert(list.begin() + static_cast<std::ptrdiff_t>(position), this);
    for (TWinControl* sibling : list)
        sibling->RestoreZOrder();
}

void TWinControl::SetBorderWidth(std::int32_t width) {
    border_width_ = std::max(0, width);
    for (TWinControl* child : children_)
        child->UpdateWindowBounds();
    Realign();
}

std::int32_t TWinControl::ClientWidth() const {
    std::int32_t width = bounds_.width;
    if (RECT client; handle_ && GetClientRect(handle_, &client)) width = client.right;
    return std::max(0, width - 2 * border_width_);
}

std::int32_t TWinControl::ClientHeight() const {
    std::int32_t height = bounds_.height;
    if (RECT client; handle_ && GetClientRect(handle_, &client)) height = client.bottom;
    return std::max(0, height - 2 * border_width_);
}

HWND TWinControl::Handle() {
    if (!handle_) CreateHandle();
    return handle_;
}

TWinControl* TWinControl::FromHandle(HWND window) {
    if (!window || GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId())
        return nullptr; // only a window of this thread can be one of its controls
    return static_cast<TWinControl*>(GetPropW(window, kControlProperty));
}

TWinControl* TWinControl::FromHandleOrAncestor(HWND window) {
    for (; window; window = GetAncestor(window, GA_PARENT))
        if (TWinControl* control = FromHandle(window)) return control;
    return nullptr;
}

TForm* TWinControl::ParentForm() {
    for (TWinControl* control = this; control; control = control->parent_)
        if (auto* form = dynamic_cast<TForm*>(control)) return form;
    return nullptr;
}

bool TWinControl::AlignWaits() const {
    for (const TWinControl* control = this; control; control = control->parent_)
        if (control->align_disabled_ > 0) return true;
    return false;
}

void TWinControl::EnableAlign() {
    if (align_disabled_ > 0 && --align_disabled_ == 0) RealignTree();
}

void TWinControl::RealignTree() {
    Realign();
    for (TWinControl* child : children_)
        child->RealignTree();
}

void TWinControl::Realign() {
    if (aligning_ || AlignWaits()) return;
    aligning_ = true;
    const std::int32_t width = ClientWidth();
    const std::int32_t height = ClientHeight();
    // Aligned controls by edge, and along each edge from the outside in.
    std::vector<TWinControl*> aligned;
    for (TWinControl* child : children_)
        if (child->visible_ && child->align_ != alNone) aligned.push_back(child);
    const auto order = [](const TWinControl* control) {
        const Bounds& b = control->bounds_;
        switch (control->align_) {
        case alTop:
            return std::pair<int, std::int64_t>(0, b.top);
        case alBottom:
            return std::pair<int, std::int64_t>(1, -(std::int64_t(b.top) + b.height));
        case alLeft:
            return std::pair<int, std::int64_t>(2, b.left);
        case alRight:
            return std::pair<int, std::int64_t>(3, -(std::int64_t(b.left) + b.width));
        default:
            return std::pair<int, std::int64_t>(4, 0);
        }
    };
    std::stable_sort(
        aligned.begin(), aligned.end(),
        [&](const TWinControl* a, const TWinControl* b) { return order(a) < order(b); });
    FreeArea area{0, 0, width, height};
    for (TWinControl* child : aligned)
        child->SetLayoutBounds(take_aligned(area, child->align_, child->bounds_));
    for (TWinControl* child : children_)
        if (child->visible_ && child->align_ == alNone && child->anchors_ != kDefaultAnchors)
            child->SetLayoutBounds(
                anchored_bounds(child->bounds_, child->anchors_, child->gaps_, width, height));
    aligning_ = false;
}

LRESULT TWinControl::WndProc(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_COMMAND:
        if (TWinControl* child = FromHandle(reinterpret_cast<HWND>(lparam));
            child && child != this) {
            child->CommandNotify(HIWORD(wparam));
            return 0;
        }
        break;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lparam);
        if (TWinControl* child = header ? FromHandle(header->hwndFrom) : nullptr;
            child && child != this) {
            LRESULT result = 0;
            if (child->NotifyMessage(*header, result)) return result;
        }
        break;
    }
    case WM_SIZE: {
        const LRESULT result = DefaultHandler(message, wparam, lparam);
        Realign();
        Resized();
        return result;
    }
    default:
        break;
    }
    return DefaultHandler(message, wparam, lparam);
}

LRESULT TWinControl::DefaultHandler(UINT message, WPARAM wparam, LPARAM lparam) {
    return DefSubclassProc(handle_, message, wparam, lparam);
}

std::u16string TWinControl::Text() const {
    return handle_ ? window_text(handle_) : text_;
}

void TWinControl::SetText(std::u16string_view text) {
    text_ = std::u16string(text);
    if (handle_) SetWindowTextW(handle_, reinterpret_cast<LPCWSTR>(text_.c_str()));
}

void TWinControl::CreateHandle() {
    if (handle_) return;
    HWND parent_window = parent_ ? parent_->Handle() : nullptr;
    TCreateParams params;
    CreateParams(params);
    std::int32_t x = bounds_.left;
    std::int32_t y = bounds_.top;
    HMENU id = nullptr;
    if (parent_) {
        params.style |= WS_CHILD | WS_CLIPSIBLINGS | (visible_ ? WS_VISIBLE : 0);
        x += parent_->border_width_;
        y += parent_->border_width_;
        id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(NextControlId()));
    }
    if (!enabled_) params.style |= WS_DISABLED;
    extra_height_ = params.extra_height;
    HWND window = CreateWindowExW(params.ex_style, params.class_name.c_str(),
                                  reinterpret_cast<LPCWSTR>(text_.c_str()), params.style, x, y,
                                  bounds_.width, bounds_.height + params.extra_height,
                                  parent_window, id, ToolkitModule(), nullptr);
    if (!window) throw_last_error("CreateWindowExW");
    if (!SetWindowSubclass(window, &TWinControl::SubclassProc, kSubclassId,
                           reinterpret_cast<DWORD_PTR>(this)) ||
        !SetPropW(window, kControlProperty, this)) {
        const DWORD error = GetLastError();
        RemoveWindowSubclass(window, &TWinControl::SubclassProc, kSubclassId);
        DestroyWindow(window);
        throw EOSError("SetWindowSubclass", error);
    }
    handle_ = window;
    SendMessageW(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(FontHandle()), FALSE);
    RestoreZOrder();
    WindowCreated();
    Realign();
    Resized();
}

void TWinControl::DestroyHandle() {
    HWND window = handle_;
    ReleaseHandle();
    if (window) DestroyWindow(window);
}

void TWinControl::ReleaseHandle() {
    HWND window = handle_;
    if (!window) return;
    handle_ = nullptr;
    RemoveWindowSubclass(window, &TWinControl::SubclassProc, kSubclassId);
    RemovePropW(window, kControlProperty);
}

void TWinControl::RestoreZOrder() {
    if (!handle_ || !parent_) return;
    HWND after = HWND_TOP;
    for (TWinControl* sibling : parent_->tab_order_) {
        if (sibling == this) break;
        if (sibling->handle_) after = sibling->handle_;
    }
    SetWindowPos(handle_, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TWinControl::UpdateWindowBounds() {
    if (!handle_) return;
    const std::int32_t margin = parent_ ? parent_->border_width_ : 0;
    SetWindowPos(handle_, nullptr, bounds_.left + margin, bounds_.top + margin, bounds_.width,
                 bounds_.height + extra_height_, SWP_NOZORDER | SWP_NOACTIVATE);
}

HFONT TWinControl::FontHandle() {
    if (parent_) return parent_->FontHandle();
    return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

void TWinControl::RecordEdgeGaps() {
    if (parent_) gaps_ = edge_gaps(bounds_, parent_->ClientWidth(), parent_->ClientHeight());
}

LRESULT CALLBACK TWinControl::SubclassProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                           UINT_PTR id, DWORD_PTR data) {
    auto* control = reinterpret_cast<TWinControl*>(data);
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(window, &TWinControl::SubclassProc, id);
        RemovePropW(window, kControlProperty);
        if (control->handle_ == window) control->handle_ = nullptr;
        return DefSubclassProc(window, message, wparam, lparam);
    }
    try {
        return control->WndProc(message, wparam, lparam);
    } catch (...) {
        // Nothing may unwind through the system's message dispatch.
        return DefSubclassProc(window, message, wparam, lparam);
    }
}

} // namespace kvr::ui
