#include "gfx_fixture.h"

#include <array>
#include <climits>
#include <set>
#include <utility>
#include <cmath>
#include <vector>

#include "gfx/line.h"

namespace {

using Line = std::array<int32_t, 4>;

// Clips a copy; returns the result and the coordinates afterwards.
std::pair<int32_t, Line> clip(Line l) {
    int32_t r = gfx_clip_line(&l[0], &l[1], &l[2], &l[3]);
    return {r, l};
}

using Pixels = std::set<std::pair<int32_t, int32_t>>;

// The pixels a line sets on a cleared screen.
Pixels line_pixels(Screen8 &s, Line l) {
    std::fill(s.px.begin(), s.px.end(), 0);
    gfx_draw_line8(l[0], l[1], l[2], l[3], 1, s.mem(), Screen8::W);
    Pixels out;
    for (int32_t y = 0; y < Screen8::H; y++)
        for (int32_t x = 0; x < Screen8::W; x++)
            if (s.at(x, y)) out.insert({x, y});
    return out;
}

} // namespace

// Ends outside move onto the edges (a corner end tries the top or bottom edge first); a line
// wholly beyond one edge, or only passing a corner, is refused unchanged. A clipped coordinate
// whose integer sum is -1 becomes 0 for the first end and for a corner end, but stays -1 for a
// single-edge second end, so the same line can be kept one way round and dropped the other.
TEST_F(Gfx, ClipperMovesEndsOntoTheEdgesOrRefuses) {
    start_display();
    const struct {
        Line in;
        int32_t kept;
        Line out;
    } cases[] = {
        {{3, 4, 600, 470}, 1, {3, 4, 600, 470}},
        {{-10, 240, 700, 240}, 1, {0, 240, 639, 240}},
        {{320, -50, 320, 600}, 1, {320, 0, 320, 479}},
        {{-100, -100, 100, 100}, 1, {0, 0, 100, 100}},
        {{700, 340, 600, 240}, 1, {639, 279, 600, 240}},
        {{-20, -10, 20, 30}, 1, {0, 10, 20, 30}},
        {{20, 30, -20, -10}, 1, {20, 30, 0, 10}},
        {{-5, 10, -1, 300}, 0, {-5, 10, -1, 300}},
        {{640, 0, 900, 479}, 0, {640, 0, 900, 479}},
        {{0, 480, 639, 9999}, 0, {0, 480, 639, 9999}},
        {{-10, 5, 5, -10}, 0, {-10, 5, 5, -10}},
        {{2, -1, -1, 0}, 1, {0, 0, 0, 0}},
        {{-1, 0, 2, -1}, 0, {-1, 0, 2, -1}},
        {{0, 1, -1, -1}, 1, {0, 1, 0, 0}},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(clip(c.in), (std::pair{c.kept, c.out}))
            << c.in[0] << "," << c.in[1] << " " << c.in[2] << "," << c.in[3];
        // Drawn clipped: the line between the clipped ends, or nothing.
        Screen8 s, want;
        EXPECT_EQ(gfx_draw_clipped_line8(c.in[0], c.in[1], c.in[2], c.in[3], 5, s.mem(), Screen8::W), 1);
        if (c.kept) gfx_draw_line8(c.out[0], c.out[1], c.out[2], c.out[3], 5, want.mem(), Screen8::W);
        EXPECT_EQ(s.px, want.px);
    }
    // Absurd lines stay on the screen (a stray store is caught by the sanitizer).
    Screen8 s;
    for (const Line &l : {Line{-1000, -700, 1700, 1300}, Line{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}})
        EXPECT_EQ(gfx_draw_clipped_line8(l[0], l[1], l[2], l[3], 9, s.mem(), Screen8::W), 1);
    EXPECT_GT(s.count(9), 0);
    clip_min_x = 100;
    clip_max_x = 199;
    clip_min_y = 50;
    clip_max_y = 149;
    EXPECT_EQ(clip({0, 100, 300, 100}), (std::pair{1, Line{100, 100, 199, 100}})) << "a smaller rectangle";
    EXPECT_EQ(clip({150, 0, 150, 479}), (std::pair{1, Line{150, 50, 150, 149}}));
}

// ---- lines --------------------------------------------------------------------------

// Both ends drawn, one pixel a step along the longer axis, each within half a pixel of the true
// line; which side a tie falls on depends on the direction.
TEST_F(Gfx, LinePixelsDependOnDirection) {
    start_display();
    Screen8 s;
    EXPECT_EQ(line_pixels(s, {0, 0, 2, 1}), (Pixels{{0, 0}, {1, 1}, {2, 1}}));
    EXPECT_EQ(line_pixels(s, {2, 1, 0, 0}), (Pixels{{2, 1}, {1, 0}, {0, 0}}));
    EXPECT_EQ(line_pixels(s, {0, 0, 1, 2}), (Pixels{{0, 0}, {1, 1}, {1, 2}})) << "steep twin, y-major";
    EXPECT_EQ(line_pixels(s, {1, 2, 0, 0}), (Pixels{{1, 2}, {0, 1}, {0, 0}}));
    EXPECT_EQ(line_pixels(s, {7, 9, 7, 9}), (Pixels{{7, 9}})) << "a point is one pixel";
    for (Line l : {Line{100, 100, 137, 113}, Line{137, 113, 100, 100}, Line{100, 100, 91, 160}, Line{50, 90, 10, 77},
                   Line{300, 300, 310, 250}, Line{20, 20, 60, 60}, Line{60, 30, 20, 70}, Line{10, 20, 15, 15}}) {
        SCOPED_TRACE(testing::Message() << l[0] << "," << l[1] << " -> " << l[2] << "," << l[3]);
        Pixels p = line_pixels(s, l);
        double dx = l[2] - l[0], dy = l[3] - l[1];
        bool xm = std::abs(dx) > std::abs(dy);
        EXPECT_EQ(p.size(), static_cast<size_t>(std::max(std::abs(dx), std::abs(dy))) + 1);
        EXPECT_TRUE(p.count({l[0], l[1]}) && p.count({l[2], l[3]})) << "both ends";
        for (auto [x, y] : p)
            EXPECT_LE(xm ? std::abs(l[1] + dy * (x - l[0]) / dx - y) : std::abs(l[0] + dx * (y - l[1]) / dy - x), 0.5)
                << x << "," << y;
    }
}

TEST_F(Gfx, RectangleFillIsTwoByTwoAndCut) {
    start_display();
    gfx_fill_surface(back_surface, 0, nullptr);
    EXPECT_EQ(gfx_fill_rect_blit(99, 49, 101, 51, 8, back_surface), 1);
    EXPECT_EQ(count_colour(back_surface, 8), 4);
    EXPECT_EQ(pixel_at(back_surface, 99, 49), 8);
    EXPECT_EQ(pixel_at(back_surface, 100, 50), 8);
    EXPECT_EQ(pixel_at(back_surface, 101, 50), 0);
    EXPECT_EQ(gfx_fill_rect_blit(-1, -1, 1, 1, 6, back_surface), 1);
    EXPECT_EQ(pixel_at(back_surface, 0, 0), 6);
    EXPECT_EQ(pixel_at(back_surface, 1, 0), 0);
    EXPECT_EQ(gfx_fill_rect_blit(639, 479, 641, 481, 5, back_surface), 1);
    EXPECT_EQ(pixel_at(back_surface, 639, 479), 5);
}
