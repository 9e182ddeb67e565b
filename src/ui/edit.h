#pragma once
// A one-line edit field of wide text. Its Text is what the user typed: translation leaves the
// text of every TCustomEdit alone.

#include "ui/control.h"

namespace kvr::ui {

class TCustomEdit : public TWinControl {
    KVR_REFLECTED_CLASS()

  public:
    using TWinControl::SetText;
    using TWinControl::Text;

  protected:
    void CreateParams(TCreateParams& params) override;
};

class TEdit : public TCustomEdit {
    KVR_REFLECTED_CLASS()
};

} // namespace kvr::ui
