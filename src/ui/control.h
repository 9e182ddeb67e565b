#pragma once
// Windowed controls of the user-interface toolkit: components with published geometry, each
// owning one native window (created under its parent's window when the parent is set).
//
// A control's Left and Top are relative to its parent's client area inside the parent's
// BorderWidth margin; a form's are screen coordinates of its window. Controls are owned by
// their form (so property map paths such as "var1.Text" find them by name) and held by their
// parent, which may be another control (a group box, a panel).
//
// A control and its window are used on the thread that made them.

#include "component/component.h"
#include "ui/layout.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kvr::ui {

class TForm;

// What a control asks of CreateWindowExW.
struct TCreateParams {
    std::wstring class_name;
    DWORD style = 0;
    DWORD ex_style = 0;
    std::int32_t extra_height = 0; // added to the window's height (a combo box's list)
};

// Geometry and tab order given when a control is placed on its parent.
struct Placement {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    TAlign align = alNone;
    TAnchors anchors = kDefaultAnchors;
    std::int32_t tab_order = -1; // -1: after the controls already there
};

class TWinControl : public TComponent {
    KVR_REFLECTED_CLASS()

  public:
    TWinControl() = default;
    ~TWinControl() override;

    // The control that holds this one; nullptr for a form. Setting it makes the window under
    // the parent's window (making that first) and records the anchors' edge gaps.
    TWinControl* Parent() const { return parent_; }
    void SetParent(TWinControl* parent);
    // SetParent with the geometry, alignment, anchors and tab order of `placement`.
    void Place(TWinControl& parent, const Placement& placement);

    // ---- Published properties ----
    std::int32_t Left() const { return bounds_.left; }
    std::int32_t Top() const { return bounds_.top; }
    std::int32_t Width() const { return bounds_.width; }
    std::int32_t Height() const { return bounds_.height; }
    void SetLeft(std::int32_t value) { SetBounds(value, Top(), Width(), Height()); }
    void SetTop(std::int32_t value) { SetBounds(Left(), value, Width(), Height()); }
    void SetWidth(std::int32_t value) { SetBounds(Left(), Top(), value, Height()); }
    void SetHeight(std::int32_t value) { SetBounds(Left(), Top(), Width(), value); }
    // Moves and sizes the control as its program asks: anchored edges keep the new distances
    // to the parent's edges from now on.
    virtual void SetBounds(std::int32_t left, std::int32_t top, std::int32_t width,
                           std::int32_t height);

    TAlign Align() const { return align_; }
    void SetAlign(TAlign align);
    TAnchors Anchors() const { return anchors_; }
    void SetAnchors(TAnchors anchors);
    bool Visible() const { return visible_; }
    virtual void SetVisible(bool visible);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    // The help topic of F1 on this control; 0 hands the request on to the parent.
    std::int32_t HelpContext() const { return help_context_; }
    void SetHelpContext(std::int32_t context) { help_context_ = context; }
    const std::u16string& Hint() const { return hint_; }
    void SetHint(std::u16string hint) { hint_ = std::move(hint); }
    // Position among the parent's controls for the Tab key (0 first).
    std::int32_t TabOrder() const;
    void SetTabOrder(std::int32_t order);
    // The margin inside the client area that aligned and placed controls keep free.
    std::int32_t BorderWidth() const { return border_width_; }
    void SetBorderWidth(std::int32_t width);

    // The client area's size without the BorderWidth margin.
    std::int32_t ClientWidth() const;
    std::int32_t ClientHeight() const;

    // The window, made on first need (with its parent's). Throws EOSError when Windows
    // refuses to make it.
    HWND Handle();
    bool HandleAllocated() const { return handle_ != nullptr; }
    // The window when it exists; nullptr otherwise (never makes one).
    HWND ExistingHandle() const { return handle_; }

    // The control made by this toolkit for a window; nullptr for other windows.
    static TWinControl* FromHandle(HWND window);
    // The control of a window or of its nearest ancestor window that has one.
    static TWinControl* FromHandleOrAncestor(HWND window);
    // The form that holds this control (the control itself for a form); nullptr when none.
    TForm* ParentForm();
    // The controls this one holds, in the order they were placed.
    const std::vector<TWinControl*>& Controls() const { return children_; }

    // Lets go of the window without destroying it and without any further call into this
    // object; a form does this for all its controls before it destroys its own window (and
    // with it theirs) at once.
    void ReleaseHandle();

    // Lays out the held controls again: aligned ones take their edges of the client area (top
    // ones first, in the order of their Top; then bottom, left, right, client), anchored ones
    // keep their edge gaps.
    void Realign();
    // While a form's definition places its controls, layout waits (so that each anchored
    // control's gaps are those of the design); EnableAlign lays out the whole tree once.
    void DisableAlign() { ++align_disabled_; }
    void EnableAlign();

  protected:
    // The window class, styles and extra height of the control's window.
    virtual void CreateParams(TCreateParams& params) = 0;
    // Runs once the window exists (also after it was made again): apply what was kept.
    virtual void WindowCreated() {}
    // The window procedure of the control; DefaultHandler runs the window class's own.
    virtual LRESULT WndProc(UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT DefaultHandler(UINT message, WPARAM wparam, LPARAM lparam);
    // A WM_COMMAND notification or WM_NOTIFY that the control's window sent its parent.
    virtual void CommandNotify(WORD /*code*/) {}
    virtual bool NotifyMessage(const NMHDR& /*header*/, LRESULT& /*result*/) { return false; }
    // The control's size changed (its window's WM_SIZE, or a layout change before it had one).
    virtual void Resized() {}

    // Window text, kept while there is no window.
    std::u16string Text() const;
    void SetText(std::u16string_view text);
    // The text last set through SetText (what a new window starts with).
    const std::u16string& KeptText() const { return text_; }

    // Destroys the window without calling back into this object; the next Handle() makes a
    // new one (a combo box that changes its sort style).
    void DestroyHandle();
    // Puts the window back at its place in the parent's tab order.
    void RestoreZOrder();
    // Moves the window to the control's bounds.
    void UpdateWindowBounds();
    // The window's font: the form's.
    virtual HFONT FontHandle();
    // Sets bounds without touching the anchors' edge gaps (layout).
    void SetLayoutBounds(const Bounds& bounds);
    const Bounds& CurrentBounds() const { return bounds_; }
    // Takes the form's bounds from its window after the user moved or sized it.
    void SyncBoundsFromWindow(const Bounds& bounds) { bounds_ = bounds; }

  private:
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                         UINT_PTR id, DWORD_PTR data);
    void CreateHandle();
    void RecordEdgeGaps();
    void RemoveChild(TWinControl& child);
    bool AlignWaits() const;
    void RealignTree();

    HWND handle_ = nullptr;
    TWinControl* parent_ = nullptr;
    std::vector<TWinControl*> children_;  // placement order
    std::vector<TWinControl*> tab_order_; // Tab key order
    Bounds bounds_;
    EdgeGaps gaps_;
    TAlign align_ = alNone;
    TAnchors anchors_ = kDefaultAnchors;
    bool visible_ = true;
    bool enabled_ = true;
    bool aligning_ = false;
    int align_disabled_ = 0;
    std::int32_t help_context_ = 0;
    std::int32_t border_width_ = 0;
    std::int32_t extra_height_ = 0;
    std::u16string hint_;
    std::u16string text_;
};

// The names of the published enumerations and sets.
const std::vector<std::string>& AlignNames();
const std::vector<std::string>& AnchorNames();

} // namespace kvr::ui
