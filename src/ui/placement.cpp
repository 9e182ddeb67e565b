#include "ui/placement.h"

namespace kvr::ui {

bool is_off_screen(const Rect& form, const Rect& desktop) {
    const std::int64_t centre_x = form.left + form.width() / 2;
    const std::int64_t centre_y = form.top + form.height() / 2;
    return centre_x > desktop.right || centre_x < desktop.left || centre_y > desktop.bottom ||
           centre_y < desktop.top;
}

bool keep_restored_bounds(bool has_owner_window, const Rect& design, const Rect& loaded,
                          const Rect& desktop) {
    if (!has_owner_window || design.is_zero()) return false;
    if (loaded == design) return false; // nothing was stored: place it afresh
    return !is_off_screen(loaded, desktop);
}

Rect centred_over(const Rect& reference, const Rect& form) {
    const std::int64_t left = reference.left + (reference.width() - form.width()) / 2;
    const std::int64_t top = reference.top + (reference.height() - form.height()) / 2;
    return {left, top, left + form.width(), top + form.height()};
}

} // namespace kvr::ui
