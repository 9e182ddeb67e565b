#include "ui/layout.h"

#include <algorithm>

namespace kvr::ui {

Bounds take_aligned(FreeArea& area, TAlign align, const Bounds& current) {
    const std::int32_t area_width = std::max(0, area.right - area.left);
    const std::int32_t area_height = std::max(0, area.bottom - area.top);
    Bounds placed = current;
    switch (align) {
    case alTop:
        placed = {area.left, area.top, area_width, current.height};
        area.top += current.height;
        break;
    case alBottom:
        placed = {area.left, area.bottom - current.height, area_width, current.height};
        area.bottom -= current.height;
        break;
    case alLeft:
        placed = {area.left, area.top, current.width, area_height};
        area.left += current.width;
        break;
    case alRight:
        placed = {area.right - current.width, area.top, current.width, area_height};
        area.right -= current.width;
        break;
    case alClient:
        placed = {area.left, area.top, area_width, area_height};
        area.left = area.right;
        area.top = area.bottom;
        break;
    case alNone:
        break;
    }
    return placed;
}

EdgeGaps edge_gaps(const Bounds& bounds, std::int32_t client_width, std::int32_t client_height) {
    return {client_width - (bounds.left + bounds.width),
            client_height - (bounds.top + bounds.height)};
}

Bounds anchored_bounds(const Bounds& bounds, TAnchors anchors, const EdgeGaps& gaps,
                       std::int32_t client_width, std::int32_t client_height) {
    Bounds placed = bounds;
    if (has_anchor(anchors, akRight)) {
        const std::int32_t right = client_width - gaps.right;
        if (has_anchor(anchors, akLeft))
            placed.width = std::max(0, right - bounds.left);
        else
            placed.left = right - bounds.width;
    }
    if (has_anchor(anchors, akBottom)) {
        const std::int32_t bottom = client_height - gaps.bottom;
        if (has_anchor(anchors, akTop))
            placed.height = std::max(0, bottom - bounds.top);
        else
            placed.top = bottom - bounds.height;
    }
    return placed;
}

} // namespace kvr::ui
