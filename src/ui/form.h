#pragma once
// Forms: top-level windows that hold controls and run modally.
//
// ShowModal disables the thread's other windows, shows the form over its popup parent, and
// runs the thread's messages until the form has a modal result: a button with a modal result
// was clicked, Enter reached the default button or Escape the cancel button, or the caption's
// close button was pressed (mrCancel). The form's OnClose then runs with that result known,
// the form is hidden and the other windows are enabled again.
//
// Keys: with KeyPreview the form's OnKeyDown sees each key before the focused control. F1,
// the caption's help button and WM_HELP ask the application for help on the help context of
// the focused control, its nearest parent that has one, or the form.

#include "common/win32_handle.h"
#include "ui/control.h"

#include <functional>
#include <string>

namespace kvr::ui {

class TButton;

using TModalResult = std::int32_t;
inline constexpr TModalResult mrNone = 0;
inline constexpr TModalResult mrOk = 1;
inline constexpr TModalResult mrCancel = 2;

enum TCloseAction : std::uint8_t { caNone, caHide, caFree, caMinimize };

enum TBorderIcon : std::uint8_t { biSystemMenu, biMinimize, biMaximize, biHelp };
using TBorderIcons = std::uint32_t; // bit n stands for TBorderIcon n
constexpr TBorderIcons border_icon_bit(TBorderIcon icon) {
    return TBorderIcons(1) << icon;
}

// A font by name and height (negative: the character height in pixels, as Windows takes it).
class TFont : public TObject {
    KVR_REFLECTED_CLASS()

  public:
    const std::string& Name() const { return name_; }
    void SetName(std::string name);
    std::int32_t Height() const { return height_; }
    void SetHeight(std::int32_t height);
    // The size in points at 96 pixels per inch.
    std::int32_t Size() const;
    void SetSize(std::int32_t points);
    std::int32_t Charset() const { return charset_; }
    void SetCharset(std::int32_t charset);
    // The font object, made on first use and again after a change.
    HFONT Handle();

  private:
    std::string name_ = "MS Sans Serif";
    std::int32_t height_ = -11;
    std::int32_t charset_ = DEFAULT_CHARSET;
    UniqueFont handle_;
};

// Smallest and largest outer size of a form; 0 means no limit.
class TSizeConstraints : public TObject {
    KVR_REFLECTED_CLASS()

  public:
    std::int32_t MinWidth = 0;
    std::int32_t MinHeight = 0;
    std::int32_t MaxWidth = 0;
    std::int32_t MaxHeight = 0;
};

class TForm : public TWinControl {
    KVR_REFLECTED_CLASS()

  public:
    TForm();
    ~TForm() override;

    // ---- Published properties ----
    std::u16string Caption() const { return Text(); }
    void SetCaption(std::u16string caption) { SetText(caption); }
    TBorderIcons BorderIcons() const { return border_icons_; }
    void SetBorderIcons(TBorderIcons icons) { border_icons_ = icons; }
    bool KeyPreview() const { return key_preview_; }
    void SetKeyPreview(bool preview) { key_preview_ = preview; }
    const std::string& HelpFile() const { return help_file_; }
    void SetHelpFile(std::string file) { help_file_ = std::move(file); }
    // The control that has (or gets, when the form is shown) the keyboard focus.
    TWinControl* ActiveControl();
    void SetActiveControl(TWinControl* control);
    TModalResult ModalResult() const { return modal_result_; }
    void SetModalResult(TModalResult result) { modal_result_ = result; }
    TSizeConstraints& Constraints() { return constraints_; }
    TFont& Font() { return font_; }
    std::int32_t FormClientWidth() const { return ClientWidth(); }
    void SetClientWidth(std::int32_t width);
    std::int32_t FormClientHeight() const { return ClientHeight(); }
    void SetClientHeight(std::int32_t height);

    // Outer bounds in screen coordinates. The size keeps to Constraints and to what the
    // screen can show (SM_CXMAXTRACK), the position to a range no screen exceeds, so stored
    // geometry of any value leaves a usable window.
    void SetBounds(std::int32_t left, std::int32_t top, std::int32_t width,
                   std::int32_t height) override;

    // The window the form stays above while shown (its Win32 owner); nullptr for none.
    void SetPopupParent(HWND owner) { popup_parent_ = owner; }
    HWND PopupParent() const { return popup_parent_; }

    // Shows the form modally and answers its modal result. Throws EInvalidOperation when the
    // form is shown already.
    TModalResult ShowModal();
    // Ends a modal run as cancelled (the caption's close button).
    void Close();
    // Asks the application for help on the window's control (see above); true when a help
    // context was found and handed on.
    bool ShowHelpFor(HWND window);

    // Finishes construction after the form's definition: every owned component's Loaded,
    // then OnCreate. The definition of a derived form calls it last.
    void FinishCreation();

    // ---- Events ----
    std::function<void(TForm& Sender)> OnCreate;
    std::function<void(TForm& Sender, TCloseAction& Action)> OnClose;
    // Key is the virtual-key code; setting it to 0 swallows the key.
    std::function<void(TForm& Sender, WORD& Key)> OnKeyDown;

    // The buttons that Enter and Escape click: the first button marked Default or Cancel.
    TButton* DefaultButton();
    TButton* CancelButton();
    HFONT FontHandle() override { return font_.Handle(); }

  protected:
    void CreateParams(TCreateParams& params) override;
    LRESULT WndProc(UINT message, WPARAM wparam, LPARAM lparam) override;

  private:
    // One message of the modal run: key preview and F1, the dialog keys, then dispatch.
    void HandleModalMessage(MSG& message);
    // True when the key was swallowed (OnKeyDown cleared it, or F1 asked for help).
    bool PreviewKey(const MSG& message);
    void CloseModal();
    void ClickControlWithId(int id);
    void FocusChanged(HWND focus);
    void SyncBoundsFromWindowRect();
    std::int32_t NonClientWidth();
    std::int32_t NonClientHeight();

    TBorderIcons border_icons_ =
        border_icon_bit(biSystemMenu) | border_icon_bit(biMinimize) | border_icon_bit(biMaximize);
    bool key_preview_ = false;
    bool in_modal_run_ = false;
    std::string help_file_;
    TComponentRef<TWinControl> active_control_;
    TModalResult modal_result_ = mrNone;
    TSizeConstraints constraints_;
    TFont font_;
    HWND popup_parent_ = nullptr;
    HWND last_focus_ = nullptr;
};

// An operation the form's state does not allow (showing a form that is shown already).
class EInvalidOperation : public Exception {
  public:
    using Exception::Exception;
    const char* class_name() const noexcept override { return "EInvalidOperation"; }
};

} // namespace kvr::ui
