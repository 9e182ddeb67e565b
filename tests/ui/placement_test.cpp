// Placement decisions and layout arithmetic as plain rectangles.

#include "ui/layout.h"
#include "ui/placement.h"

#include <gtest/gtest.h>

#include <cstdint>

using namespace kvr::ui;

TEST(Placement, CentringTruncatesTowardZeroAlsoForAFormLargerThanItsReference) {
    const Rect reference{100, 50, 201, 150}; // 101 by 100
    EXPECT_EQ((Rect{125, 75, 175, 125}), centred_over(reference, {0, 0, 50, 50}));
    // (100 - 201) / 2 is -50, not -51; the size stays.
    EXPECT_EQ((Rect{50, 0, 251, 201}), centred_over(reference, {7, 9, 208, 210}));
}

TEST(Placement, OnlyACentreOutsideTheDesktopIsOffScreen) {
    const Rect desktop{0, 0, 1280, 1024};
    EXPECT_FALSE(is_off_screen({1279, 0, 1282, 10}, desktop)); // centre 1280 lies on the edge
    EXPECT_TRUE(is_off_screen({1280, 0, 1283, 10}, desktop));
    EXPECT_TRUE(is_off_screen({-400, 100, 0, 200}, desktop));
    EXPECT_TRUE(is_off_screen({0, -300, 100, -100}, desktop));
    // Stored positions at the ends of the 32-bit range do not wrap around.
    EXPECT_TRUE(is_off_screen(
        {INT32_MAX, INT32_MAX, std::int64_t(INT32_MAX) + 389, std::int64_t(INT32_MAX) + 336},
        desktop));
}

TEST(Placement, RestoredBoundsStayOnlyWithAnOwnerWhenMovedAndOnScreen) {
    const Rect desktop{0, 0, 1280, 1024};
    const Rect design{314, 184, 703, 520};
    const Rect moved{40, 500, 429, 836};
    EXPECT_TRUE(keep_restored_bounds(true, design, moved, desktop));
    EXPECT_FALSE(keep_restored_bounds(false, design, moved, desktop));
    EXPECT_FALSE(keep_restored_bounds(true, Rect{}, moved, desktop));
    EXPECT_FALSE(keep_restored_bounds(true, design, design, desktop));
    EXPECT_FALSE(keep_restored_bounds(true, design, {5000, 500, 5389, 836}, desktop));
}

TEST(Layout, AlignedControlsTakeTheirEdgesAndAnchoredOnesKeepTheirGaps) {
    FreeArea area{0, 0, 367, 291};
    EXPECT_EQ((Bounds{0, 0, 367, 45}), take_aligned(area, alTop, {9, 9, 10, 45}));
    EXPECT_EQ((Bounds{0, 246, 367, 45}), take_aligned(area, alBottom, {0, 0, 367, 45}));
    EXPECT_EQ((Bounds{0, 45, 367, 201}), take_aligned(area, alClient, {}));

    const Bounds right_column{195, 20, 170, 21};
    const EdgeGaps gaps = edge_gaps(right_column, 367, 137);
    const TAnchors top_right = anchors_of({akTop, akRight});
    EXPECT_EQ((Bounds{328, 20, 170, 21}), anchored_bounds(right_column, top_right, gaps, 500, 137));
    const TAnchors stretch = anchors_of({akLeft, akTop, akRight});
    EXPECT_EQ((Bounds{195, 20, 303, 21}), anchored_bounds(right_column, stretch, gaps, 500, 137));
    EXPECT_EQ(0, anchored_bounds(right_column, stretch, gaps, 100, 137).width);
}
