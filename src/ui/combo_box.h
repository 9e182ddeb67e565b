#pragma once
// An editable combo box of wide text: the user picks an item or types any text. Its items
// can be sorted by the control itself (the system's sort order, which ignores case).

#include "component/combo_box.h"
#include "ui/control.h"

#include <string>
#include <vector>

namespace kvr::ui {

class TComboBox : public TWinControl, public IComboBox {
    KVR_REFLECTED_CLASS()

  public:
    // The text in the edit field, an item or not.
    using TWinControl::SetText;
    using TWinControl::Text;

    // Sorted: items added later go to their sorted place, and the present ones are sorted
    // (the window is made again with the control's sort style).
    bool Sorted() const { return sorted_; }
    void SetSorted(bool sorted);

    std::int32_t ItemIndex() const override;
    void SetItemIndex(std::int32_t index) override;

    // The items in the control's order.
    std::vector<std::u16string> Items() const;
    void SetItems(const std::vector<std::u16string>& items);
    void AddItem(const std::u16string& item);
    void ClearItems();

  protected:
    void CreateParams(TCreateParams& params) override;
    void WindowCreated() override;

  private:
    bool sorted_ = false;
    std::vector<std::u16string> kept_items_; // while the window is made again
};

} // namespace kvr::ui
