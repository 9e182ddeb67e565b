#include "ui/form.h"

#include "component/application.h"
#include "component/text_platform.h"
#include "ui/buttons.h"
#include "ui/window_classes.h"

#include <algorithm>
#include <vector>

namespace kvr::ui {

namespace {

// Stored positions beyond this lie off every screen; keeping them within it keeps every
// right and bottom edge inside 32 bits.
constexpr std::int32_t kPositionLimit = 1 << 24;

std::wstring wide_class_name(const std::string& name) {
    return std::wstring(name.begin(), name.end()); // class names are ASCII
}

// Disables the thread's other visible, enabled top-level windows while it lives, as a modal
// form must; enables them again at the end.
class DisabledThreadWindows {
  public:
    explicit DisabledThreadWindows(HWND except) : except_(except) {
        EnumThreadWindows(GetCurrentThreadId(), &DisabledThreadWindows::Visit,
                          reinterpret_cast<LPARAM>(this));
    }
    ~DisabledThreadWindows() { Restore(); }
    void Restore() {
        for (HWND window : disabled_)
            if (IsWindow(window)) EnableWindow(window, TRUE);
        disabled_.clear();
    }
    DisabledThreadWindows(const DisabledThreadWindows&) = delete;
    DisabledThreadWindows& operator=(const DisabledThreadWindows&) = delete;

  private:
    static BOOL CALLBACK Visit(HWND window, LPARAM data) {
        auto* self = reinterpret_cast<DisabledThreadWindows*>(data);
        if (window != self->except_ && IsWindowVisible(window) && IsWindowEnabled(window)) {
            EnableWindow(window, FALSE);
            self->disabled_.push_back(window);
        }
        return TRUE;
    }

    HWND except_;
    std::vector<HWND> disabled_;
};

} // namespace

// ---- TFont ----

const ClassInfo& TFont::StaticClassInfo() {
    static const ClassInfo info = ClassBuilder<TFont>("TFont", TObject::StaticClassInfo())
                                      .ansi_string("Name", &TFont::Name, &TFont::SetName)
                                      .integer("Height", &TFont::Height, &TFont::SetHeight)
                                      .integer("Size", &TFont::Size, &TFont::SetSize)
                                      .integer("Charset", &TFont::Charset, &TFont::SetCharset)
                                      .build();
    return info;
}

void TFont::SetName(std::string name) {
    name_ = std::move(name);
    handle_.reset();
}

void TFont::SetHeight(std::int32_t height) {
    height_ = height;
    handle_.reset();
}

std::int32_t TFont::Size() const {
    return -MulDiv(height_, 72, 96);
}

void TFont::SetSize(std::int32_t points) {
    SetHeight(-MulDiv(points, 96, 72));
}

void TFont::SetCharset(std::int32_t charset) {
    charset_ = charset;
    handle_.reset();
}

HFONT TFont::Handle() {
    if (!handle_) {
        const std::u16string face = text_platform().ansi_to_wide(name_);
        handle_.reset(CreateFontW(height_, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                  static_cast<DWORD>(charset_), OUT_DEFAULT_PRECIS,
                                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                                  reinterpret_cast<LPCWSTR>(face.c_str())));
    }
    return handle_ ? handle_.get() : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

const ClassInfo& TSizeConstraints::StaticClassInfo() {
    static const ClassInfo info =
        ClassBuilder<TSizeConstraints>("TSizeConstraints", TObject::StaticClassInfo())
            .integer("MinWidth", &TSizeConstraints::MinWidth)
            .integer("MinHeight", &TSizeConstraints::MinHeight)
            .integer("MaxWidth", &TSizeConstraints::MaxWidth)
            .integer("MaxHeight", &TSizeConstraints::MaxHeight)
            .build();
    return info;
}

// ---- TForm ----

const ClassInfo& TForm::StaticClassInfo() {
    static const ClassInfo info =
        ClassBuilder<TForm>("TForm", TWinControl::StaticClassInfo())
            .wide_string("Caption", &TForm::Caption, &TForm::SetCaption)
            .set("BorderIcons", {"biSystemMenu", "biMinimize", "biMaximize", "biHelp"},
                 &TForm::BorderIcons, &TForm::SetBorderIcons)
            .integer("BorderWidth", &TForm::BorderWidth, &TForm::SetBorderWidth)
            .integer("ClientWidth", &TForm::FormClientWidth, &TForm::SetClientWidth)
            .integer("ClientHeight", &TForm::FormClientHeight, &TForm::SetClientHeight)
            .boolean("KeyPreview", &TForm::KeyPreview, &TForm::SetKeyPreview)
            .ansi_string("HelpFile", &TForm::HelpFile, &TForm::SetHelpFile)
            .object<TWinControl>("ActiveControl", &TForm::ActiveControl, &TForm::SetActiveControl)
            .integer("ModalResult", &TForm::ModalResult, &TForm::SetModalResult)
            .object<TSizeConstraints>("Constraints",
                                      [](TForm& form) { return &form.Constraints(); })
            .object<TFont>("Font", [](TForm& form) { return &form.Font(); })
            .build();
    return info;
}

TForm::TForm() {
    SetVisible(false); // shown by ShowModal
}

TForm::~TForm() {
    OnCreate = nullptr;
    OnClose = nullptr;
    OnKeyDown = nullptr;
    // The controls let go of their windows, which go with the form's in one step.
    for (int i = 0; i < ComponentCount(); ++i)
        if (auto* control = dynamic_cast<TWinControl*>(Components(i))) control->ReleaseHandle();
    if (HWND window = ExistingHandle()) {
        ReleaseHandle();
        DestroyWindow(window);
    }
}

void TForm::CreateParams(TCreateParams& params) {
    params.class_name = wide_class_name(ClassName());
    EnsureWindowClass(params.class_name);
    const bool system_menu = (border_icons_ & border_icon_bit(biSystemMenu)) != 0;
    const bool minimize = (border_icons_ & border_icon_bit(biMinimize)) != 0;
    const bool maximize = (border_icons_ & border_icon_bit(biMaximize)) != 0;
    params.style = WS_CAPTION | WS_THICKFRAME | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    if (system_menu) {
        params.style |= WS_SYSMENU;
        if (minimize) params.style |= WS_MINIMIZEBOX;
        if (maximize) params.style |= WS_MAXIMIZEBOX;
    }
    params.ex_style = WS_EX_CONTROLPARENT | WS_EX_WINDOWEDGE;
    // The caption's help button shows only without minimise and maximise buttons.
    if (system_menu && (border_icons_ & border_icon_bit(biHelp)) && !minimize && !maximize)
        params.ex_style |= WS_EX_CONTEXTHELP;
}

void TForm::SetBounds(std::int32_t left, std::int32_t top, std::int32_t width,
                      std::int32_t height) {
    const std::int32_t max_width =
        constraints_.MaxWidth > 0 ? constraints_.MaxWidth : GetSystemMetrics(SM_CXMAXTRACK);
    const std::int32_t max_height =
        constraints_.MaxHeight > 0 ? constraints_.MaxHeight : GetSystemMetrics(SM_CYMAXTRACK);
    const std::int32_t min_width = std::max(constraints_.MinWidth, 0);
    const std::int32_t min_height = std::max(constraints_.MinHeight, 0);
    width = std::clamp(width, min_width, std::max(min_width, max_width));
    height = std::clamp(height, min_height, std::max(min_height, max_height));
    left = std::clamp(left, -kPositionLimit, kPositionLimit);
    top = std::clamp(top, -kPositionLimit, kPositionLimit);
    TWinControl::SetBounds(left, top, width, height);
}

std::int32_t TForm::NonClientWidth() {
    RECT window;
    RECT client;
    if (!GetWindowRect(Handle(), &window) || !GetClientRect(Handle(), &client)) return 0;
    return (window.right - window.left) - client.right;
}

std::int32_t TForm::NonClientHeight() {
    RECT window;
    RECT client;
    if (!GetWindowRect(Handle(), &window) || !GetClientRect(Handle(), &client)) return 0;
    return (window.bottom - window.top) - client.bottom;
}

void TForm::SetClientWidth(std::int32_t width) {
    SetBounds(Left(), Top(), width + 2 * BorderWidth() + NonClientWidth(), Height());
}

void TForm::SetClientHeight(std::int32_t height) {
    SetBounds(Left(), Top(), Width(), height + 2 * BorderWidth() + NonClientHeight());
}

TWinControl* TForm::ActiveControl() {
    return active_control_.get();
}

void TForm::SetActiveControl(TWinControl* control) {
    active_control_.reset(control);
    if (control && in_modal_run_) SetFocus(control->Handle());
}

void TForm::SyncBoundsFromWindowRect() {
    RECT rect;
    if (!GetWindowRect(Handle(), &rect)) return;
    SyncBoundsFromWindow({rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top});
}

TButton* TForm::DefaultButton() {
    for (int i = 0; i < ComponentCount(); ++i)
        if (auto* button = dynamic_cast<TButton*>(Components(i)); button && button->Default())
            return button;
    return nullptr;
}

TButton* TForm::CancelButton() {
    for (int i = 0; i < ComponentCount(); ++i)
        if (auto* button = dynamic_cast<TButton*>(Components(i)); button && button->Cancel())
            return button;
    return nullptr;
}

void TForm::ClickControlWithId(int id) {
    for (int i = 0; i < ComponentCount(); ++i) {
        auto* button = dynamic_cast<TButton*>(Components(i));
        if (button && button->HandleAllocated() && GetDlgCtrlID(button->Handle()) == id) {
            button->Click();
            return;
        }
    }
}

void TForm::FocusChanged(HWND focus) {
    last_focus_ = focus;
    TWinControl* control = FromHandleOrAncestor(focus);
    if (!control || control->ParentForm() != this) return;
    active_control_.reset(control);
    // The focused button is the one Enter clicks; elsewhere the default button is.
    auto* focused_button = dynamic_cast<TButton*>(control);
    for (int i = 0; i < ComponentCount(); ++i)
        if (auto* button = dynamic_cast<TButton*>(Components(i)))
            button->ShowAsDefault(focused_button ? button == focused_button : button->Default());
}

bool TForm::ShowHelpFor(HWND window) {
    std::int32_t context = 0;
    TWinControl* control = window ? FromHandleOrAncestor(window) : nullptr;
    if (control && control->ParentForm() != this) control = nullptr;
    for (; control && context == 0; control = control->Parent())
        context = control->HelpContext();
    if (context == 0) context = HelpContext();
    if (context == 0) return false;
    return Application().HelpContext(context);
}

void TForm::FinishCreation() {
    for (int i = 0; i < ComponentCount(); ++i)
        Components(i)->Loaded();
    if (OnCreate) OnCreate(*this);
}

void TForm::Close() {
    if (in_modal_run_) modal_result_ = mrCancel;
}

TModalResult TForm::ShowModal() {
    HWND window = Handle();
    if (in_modal_run_ || IsWindowVisible(window))
        throw EInvalidOperation("Cannot make a visible window modal");
    if (popup_parent_ && IsWindow(popup_parent_))
        SetWindowLongPtrW(window, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(popup_parent_));
    modal_result_ = mrNone;
    const HWND previously_active = GetActiveWindow();

    struct ModalRun {
        TForm& form;
        HWND window;
        HWND previously_active;
        DisabledThreadWindows disabled;
        ~ModalRun() {
            form.in_modal_run_ = false;
            disabled.Restore(); // before hiding, so that activation stays in this program
            ShowWindow(window, SW_HIDE);
            if (previously_active && IsWindow(previously_active))
                SetActiveWindow(previously_active);
        }
    };
    in_modal_run_ = true;
    {
        ModalRun run{*this, window, previously_active, DisabledThreadWindows(window)};
        ShowWindow(window, SW_SHOWNORMAL);
        SetForegroundWindow(window);
        if (TWinControl* control = active_control_.get())
            SetFocus(control->Handle());
        else if (HWND first = GetNextDlgTabItem(window, nullptr, FALSE))
            SetFocus(first);
        FocusChanged(GetFocus());
        while (true) {
            MSG message;
            const BOOL got = GetMessageW(&message, nullptr, 0, 0);
            if (got == 0) {
                PostQuitMessage(static_cast<int>(message.wParam)); // for the host's own loop
                modal_result_ = mrCancel;
                break;
            }
            if (got == -1) {
                modal_result_ = mrCancel;
                break;
            }
            HandleModalMessage(message);
            if (modal_result_ != mrNone) {
                CloseModal();
                if (modal_result_ != mrNone) break;
            }
        }
    }
    return modal_result_;
}

void TForm::HandleModalMessage(MSG& message) {
    HWND window = ExistingHandle();
    const bool ours = window && (message.hwnd == window || IsChild(window, message.hwnd));
    const bool key_down = message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN;
    if (!(ours && key_down && PreviewKey(message)) &&
        !(ours && IsDialogMessageW(window, &message))) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (HWND focus = GetFocus(); focus != last_focus_) FocusChanged(focus);
}

bool TForm::PreviewKey(const MSG& message) {
    WORD key = static_cast<WORD>(message.wParam);
    if (key_preview_ && OnKeyDown) {
        OnKeyDown(*this, key);
        if (key == 0) return true;
    }
    if (key == VK_F1 && message.message == WM_KEYDOWN) {
        ShowHelpFor(message.hwnd);
        return true;
    }
    return false;
}

void TForm::CloseModal() {
    TCloseAction action = caHide;
    if (OnClose) OnClose(*this, action);
    if (action == caNone) modal_result_ = mrNone;
}

LRESULT TForm::WndProc(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_GETMINMAXINFO: {
        auto* limits = reinterpret_cast<MINMAXINFO*>(lparam);
        if (constraints_.MinWidth > 0) limits->ptMinTrackSize.x = constraints_.MinWidth;
        if (constraints_.MinHeight > 0) limits->ptMinTrackSize.y = constraints_.MinHeight;
        if (constraints_.MaxWidth > 0) limits->ptMaxTrackSize.x = constraints_.MaxWidth;
        if (constraints_.MaxHeight > 0) limits->ptMaxTrackSize.y = constraints_.MaxHeight;
        return 0;
    }
    case WM_CLOSE:
        if (in_modal_run_) {
            modal_result_ = mrCancel;
            return 0;
        }
        break;
    case WM_COMMAND:
        // Escape and Enter through the dialog manager, which knows no nested buttons.
        if (LOWORD(wparam) == IDCANCEL && HIWORD(wparam) == 0) {
            if (TButton* button = CancelButton()) button->Click();
            return 0;
        }
        if (LOWORD(wparam) == IDOK && HIWORD(wparam) == 0) {
            if (TButton* button = DefaultButton()) button->Click();
            return 0;
        }
        if (lparam == 0) {
            ClickControlWithId(LOWORD(wparam));
            return 0;
        }
        break;
    case DM_GETDEFID:
        if (TButton* button = DefaultButton(); button && button->HandleAllocated())
            return MAKELRESULT(GetDlgCtrlID(button->Handle()), DC_HASDEFID);
        return 0;
    case WM_SYSCOMMAND:
        if ((wparam & 0xFFF0) == SC_CONTEXTHELP) {
            ShowHelpFor(nullptr); // the caption's help button: the form's own topic
            return 0;
        }
        break;
    case WM_HELP: {
        const auto* info = reinterpret_cast<const HELPINFO*>(lparam);
        HWND about = info && info->iContextType == HELPINFO_WINDOW
                         ? static_cast<HWND>(info->hItemHandle)
                         : GetFocus();
        ShowHelpFor(about);
        return TRUE;
    }
    case WM_ACTIVATE:
        // Coming back from another window (the help viewer): the focus returns where it was.
        if (LOWORD(wparam) != WA_INACTIVE && in_modal_run_ && last_focus_ &&
            IsChild(ExistingHandle(), last_focus_)) {
            SetFocus(last_focus_);
            return 0;
        }
        break;
    case WM_MOVE:
        SyncBoundsFromWindowRect();
        break;
    case WM_SIZE:
        SyncBoundsFromWindowRect();
        break;
    default:
        break;
    }
    return TWinControl::WndProc(message, wparam, lparam);
}

} // namespace kvr::ui
