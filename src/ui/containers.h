#pragma once
// Controls that hold other controls: a captioned group box and a panel. Tab and arrow keys
// move into what they hold.

#include "ui/control.h"

#include <functional>

namespace kvr::ui {

class TGroupBox : public TWinControl {
    KVR_REFLECTED_CLASS()

  public:
    std::u16string Caption() const { return Text(); }
    void SetCaption(std::u16string caption) { SetText(caption); }

  protected:
    void CreateParams(TCreateParams& params) override;
    LRESULT WndProc(UINT message, WPARAM wparam, LPARAM lparam) override;
};

enum TPanelBevel : std::uint8_t { bvNone, bvLowered, bvRaised, bvSpace };

class TPanel : public TWinControl {
    KVR_REFLECTED_CLASS()

  public:
    TPanelBevel BevelOuter() const { return bevel_outer_; }
    void SetBevelOuter(TPanelBevel bevel);

    // Fired after the panel's size changed, and when its window was made.
    std::function<void(TPanel& Sender)> OnResize;

  protected:
    void CreateParams(TCreateParams& params) override;
    LRESULT WndProc(UINT message, WPARAM wparam, LPARAM lparam) override;
    void Resized() override;

  private:
    TPanelBevel bevel_outer_ = bvRaised;
};

} // namespace kvr::ui
