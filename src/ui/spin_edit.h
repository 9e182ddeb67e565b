#pragma once
// A number field with standard up and down buttons. Its Value is a double without limits; the
// buttons and the arrow keys step it by Increment. Keys that cannot be part of a number are
// refused; text that is not a number (pasted) leaves Value at the last number, and the field
// shows that number again when it loses the focus.

#include "ui/control.h"

namespace kvr::ui {

class TSpinEdit : public TWinControl {
    KVR_REFLECTED_CLASS()

  public:
    ~TSpinEdit() override;
    double Value() const;
    void SetValue(double value);
    double Increment() const { return increment_; }
    void SetIncrement(double increment) { increment_ = increment; }
    // The edit field inside the control (where the focus and the typed keys go).
    HWND EditHandle() const { return edit_; }

  protected:
    void CreateParams(TCreateParams& params) override;
    void WindowCreated() override;
    LRESULT WndProc(UINT message, WPARAM wparam, LPARAM lparam) override;
    void Resized() override;

  private:
    static LRESULT CALLBACK EditProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                     UINT_PTR id, DWORD_PTR data);
    static bool CanBePartOfNumber(wchar_t c);
    void ShowValue();

    mutable double value_ = 0.0; // the last number the field held
    double increment_ = 1.0;
    HWND edit_ = nullptr; // child windows, destroyed with the control's window
    HWND updown_ = nullptr;
};

} // namespace kvr::ui
