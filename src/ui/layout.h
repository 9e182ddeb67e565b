#pragma once
// How controls follow their parent's client area: alignment to an edge (or the whole rest of
// the area) and anchors that keep an edge's distance to the parent's edge. Plain arithmetic,
// free of any window system; sizes are pixels.

#include <cstdint>
#include <initializer_list>

namespace kvr::ui {

enum TAlign : std::uint8_t { alNone, alTop, alBottom, alLeft, alRight, alClient };

enum TAnchorKind : std::uint8_t { akLeft, akTop, akRight, akBottom };
using TAnchors = std::uint32_t; // bit n stands for TAnchorKind n

constexpr TAnchors anchors_of(std::initializer_list<TAnchorKind> kinds) {
    TAnchors bits = 0;
    for (const TAnchorKind kind : kinds)
        bits |= TAnchors(1) << kind;
    return bits;
}
constexpr bool has_anchor(TAnchors anchors, TAnchorKind kind) {
    return (anchors & (TAnchors(1) << kind)) != 0;
}
inline constexpr TAnchors kDefaultAnchors = anchors_of({akLeft, akTop});

// A control's position in its parent's client area and its size.
struct Bounds {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    friend bool operator==(const Bounds&, const Bounds&) = default;
};

// The part of a parent's client area that aligned controls have not taken yet.
struct FreeArea {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

// The bounds of a control aligned to `align` in what is left of the client area, keeping its
// height (top, bottom) or width (left, right); the area shrinks by what the control takes.
// alNone answers the bounds unchanged and leaves the area alone.
Bounds take_aligned(FreeArea& area, TAlign align, const Bounds& current);

// Distances from a control's right and bottom edges to those of its parent's client area.
struct EdgeGaps {
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};
EdgeGaps edge_gaps(const Bounds& bounds, std::int32_t client_width, std::int32_t client_height);

// The bounds of an anchored control in a client area of the given size: anchored left and
// right it stretches, anchored right only it moves, so that the gap to the right edge stays;
// the same vertically. Sizes never go below zero.
Bounds anchored_bounds(const Bounds& bounds, TAnchors anchors, const EdgeGaps& gaps,
                       std::int32_t client_width, std::int32_t client_height);

} // namespace kvr::ui
