#pragma once
// Push buttons and check boxes.

#include "ui/form.h"

#include <functional>

namespace kvr::ui {

class TButton : public TWinControl {
    KVR_REFLECTED_CLASS()

  public:
    std::u16string Caption() const { return Text(); }
    void SetCaption(std::u16string caption) { SetText(caption); }
    // Enter clicks the default button unless another button has the focus; Escape clicks the
    // cancel button.
    bool Default() const { return default_; }
    void SetDefault(bool value) { default_ = value; }
    bool Cancel() const { return cancel_; }
    void SetCancel(bool value) { cancel_ = value; }
    // A click gives the form this modal result (mrNone: none).
    TModalResult ModalResult() const { return modal_result_; }
    void SetModalResult(TModalResult result) { modal_result_ = result; }

    // Runs OnClick, then hands the modal result to the form.
    void Click();
    // Shows the button as the one Enter clicks, or not.
    void ShowAsDefault(bool is_default);

    std::function<void(TButton& Sender)> OnClick;

  protected:
    void CreateParams(TCreateParams& params) override;
    void CommandNotify(WORD code) override;

  private:
    bool default_ = false;
    bool cancel_ = false;
    bool shown_as_default_ = false;
    TModalResult modal_result_ = mrNone;
};

class TCheckBox : public TWinControl {
    KVR_REFLECTED_CLASS()

  public:
    std::u16string Caption() const { return Text(); }
    void SetCaption(std::u16string caption) { SetText(caption); }
    bool Checked() const;
    void SetChecked(bool checked);

  protected:
    void CreateParams(TCreateParams& params) override;
    void WindowCreated() override;

  private:
    bool checked_ = false; // while there is no window
};

} // namespace kvr::ui
