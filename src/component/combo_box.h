#pragma once
// What settings and translation code need of a combo box, whatever toolkit provides it: the
// selected index. A combo-box component implements this interface besides deriving from
// TComponent; code finds it with dynamic_cast<IComboBox*>.

#include <cstdint>

namespace kvr {

class IComboBox {
  public:
    // The index of the selected item; -1 when none is selected.
    virtual std::int32_t ItemIndex() const = 0;
    // Selects the item at index; -1 selects none. An index without item selects none.
    virtual void SetItemIndex(std::int32_t index) = 0;

  protected:
    ~IComboBox() = default;
};

} // namespace kvr
