#pragma once
// Controls that only show something: a label of wide text and a bevel line. Both paint
// themselves on the button-face background and never take the focus.

#include "ui/control.h"

namespace kvr::ui {

enum TTextLayout : std::uint8_t { tlTop, tlCenter, tlBottom };
enum TAlignment : std::uint8_t { taLeftJustify, taRightJustify, taCenter };

class TLabel : public TWinControl {
    KVR_REFLECTED_CLASS()

  public:
    std::u16string Caption() const { return Text(); }
    void SetCaption(std::u16string caption);
    // Breaks lines between words to fit the width.
    bool WordWrap() const { return word_wrap_; }
    void SetWordWrap(bool wrap);
    // Kept for the definition of a form; the label keeps the size it is given.
    bool AutoSize() const { return auto_size_; }
    void SetAutoSize(bool value) { auto_size_ = value; }
    // Vertical placement of the text in the label's area.
    TTextLayout Layout() const { return layout_; }
    void SetLayout(TTextLayout layout);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment alignment);

  protected:
    void CreateParams(TCreateParams& params) override;
    LRESULT WndProc(UINT message, WPARAM wparam, LPARAM lparam) override;

  private:
    void Paint(HDC dc, const RECT& area);
    void Repaint();

    bool word_wrap_ = false;
    bool auto_size_ = false;
    TTextLayout layout_ = tlTop;
    TAlignment alignment_ = taLeftJustify;
};

enum TBevelShape : std::uint8_t {
    bsBox,
    bsFrame,
    bsTopLine,
    bsBottomLine,
    bsLeftLine,
    bsRightLine,
    bsSpacer
};
enum TBevelStyle : std::uint8_t { bsLowered, bsRaised };

class TBevel : public TWinControl {
    KVR_REFLECTED_CLASS()

  public:
    TBevelShape Shape() const { return shape_; }
    void SetShape(TBevelShape shape);
    TBevelStyle Style() const { return style_; }
    void SetStyle(TBevelStyle style);

  protected:
    void CreateParams(TCreateParams& params) override;
    LRESULT WndProc(UINT message, WPARAM wparam, LPARAM lparam) override;

  private:
    TBevelShape shape_ = bsBox;
    TBevelStyle style_ = bsLowered;
};

} // namespace kvr::ui
