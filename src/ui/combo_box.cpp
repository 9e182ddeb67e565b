#include "ui/combo_box.h"

namespace kvr::ui {

namespace {
constexpr std::int32_t kDropDownHeight = 200; // the list below the edit field
}

const ClassInfo& TComboBox::StaticClassInfo() {
    static const ClassInfo info =
        ClassBuilder<TComboBox>("TComboBox", TWinControl::StaticClassInfo())
            .wide_string(
                "Text", [](TComboBox& combo) { return combo.Text(); },
                [](TComboBox& combo, std::u16string text) { combo.SetText(text); })
            .boolean("Sorted", &TComboBox::Sorted, &TComboBox::SetSorted)
            .integer("ItemIndex", &TComboBox::ItemIndex, &TComboBox::SetItemIndex)
            .build();
    return info;
}

void TComboBox::CreateParams(TCreateParams& params) {
    params.class_name = L"COMBOBOX";
    params.style =
        WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL | (sorted_ ? CBS_SORT : 0);
    params.extra_height = kDropDownHeight;
}

void TComboBox::WindowCreated() {
    HWND window = ExistingHandle();
    for (const std::u16string& item : kept_items_)
        SendMessageW(window, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    kept_items_.clear();
    const std::u16string text = KeptText(); // a combo box ignores the window name
    SetText(text);
}

void TComboBox::SetSorted(bool sorted) {
    if (sorted == sorted_) return;
    if (!HandleAllocated()) {
        sorted_ = sorted;
        return;
    }
    kept_items_ = Items();
    SetText(Text()); // keep what the user typed across the new window
    DestroyHandle();
    sorted_ = sorted;
    Handle();
}

std::int32_t TComboBox::ItemIndex() const {
    HWND window = ExistingHandle();
    return window ? static_cast<std::int32_t>(SendMessageW(window, CB_GETCURSEL, 0, 0)) : -1;
}

void TComboBox::SetItemIndex(std::int32_t index) {
    SendMessageW(Handle(), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

std::vector<std::u16string> TComboBox::Items() const {
    HWND window = ExistingHandle();
    if (!window) return kept_items_;
    const LRESULT count = SendMessageW(window, CB_GETCOUNT, 0, 0);
    std::vector<std::u16string> items;
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT length = SendMessageW(window, CB_GETLBTEXTLEN, WPARAM(i), 0);
        if (length < 0) continue;
        std::u16string item(static_cast<std::size_t>(length) + 1, u'\0');
        const LRESULT copied =
            SendMessageW(window, CB_GETLBTEXT, WPARAM(i), reinterpret_cast<LPARAM>(item.data()));
        item.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
        items.push_back(std::move(item));
    }
    return items;
}

void TComboBox::SetItems(const std::vector<std::u16string>& items) {
    ClearItems();
    for (const std::u16string& item : items)
        AddItem(item);
}

void TComboBox::AddItem(const std::u16string& item) {
    if (HWND window = ExistingHandle())
        SendMessageW(window, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    else
        kept_items_.push_back(item);
}

void TComboBox::ClearItems() {
    kept_items_.clear();
    if (HWND window = ExistingHandle()) {
        const std::u16string text = Text();
        SendMessageW(window, CB_RESETCONTENT, 0, 0);
        SetText(text); // clearing the list empties the edit field too
    }
}

} // namespace kvr::ui
