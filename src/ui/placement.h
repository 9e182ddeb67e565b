#pragma once
// Where a dialog goes on screen, as plain rectangle arithmetic free of any window system.
// Coordinates are screen pixels; right and bottom lie just outside a rectangle. The values are
// 64-bit so that stored positions near the ends of the 32-bit range cannot overflow here.

#include <cstdint>

namespace kvr::ui {

struct Rect {
    std::int64_t left = 0;
    std::int64_t top = 0;
    std::int64_t right = 0;
    std::int64_t bottom = 0;

    std::int64_t width() const { return right - left; }
    std::int64_t height() const { return bottom - top; }
    bool is_zero() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

// True when the form's centre (left + width / 2, top + height / 2, each half truncated toward
// zero) lies outside the desktop: right of its right edge, left of its left edge, below its
// bottom edge or above its top edge.
bool is_off_screen(const Rect& form, const Rect& desktop);

// Whether a dialog keeps the bounds it loaded from its settings instead of being centred: only
// when the host gave an owner window, design bounds were remembered (not all zero), loading
// changed them, and the form's centre lies on the desktop.
bool keep_restored_bounds(bool has_owner_window, const Rect& design, const Rect& loaded,
                          const Rect& desktop);

// The form moved so that it is centred over the reference, its size kept: left = reference
// left + (reference width - form width) / 2, likewise top, each quotient truncated toward zero
// (a form larger than the reference gets negative offsets).
Rect centred_over(const Rect& reference, const Rect& form);

} // namespace kvr::ui
