#include "gfx_fixture.h"

#include <array>
#include <climits>
#include <set>
#include <utility>
#include <vector>

#include "gfx/line.h"

namespace {

using Line = std::array<int32_t, 4>;

// Clips a copy; returns the result and the coordinates afterwards.
std::pair<int32_t, Line> clip(Line l)
{
    int32_t r = gfx_clip_line(&l[0], &l[1], &l[2], &l[3]);
    return {r, l};
}

using Pixels = std::vector<std::pair<int32_t, int32_t>>;

// The pixels a line sets on a cleared screen, in the order the walk stores them:
// each stored pixel gets the next colour, so order is read back from the values.
Pixels line_pixels(Screen8 &s, Line l)
{
    std::fill(s.px.begin(), s.px.end(), 0);
    gfx_draw_line8(l[0], l[1], l[2], l[3], 1, s.mem(), Screen8::W);
    Pixels out;
    for (int32_t y = 0; y < Screen8::H; y++)
        for (int32_t x = 0; x < Screen8::W; x++)
            if (s.at(x, y)) out.push_back({x, y});
    return out;
}

std::set<std::pair<int32_t, int32_t>> as_set(const Pixels &p) { return {p.begin(), p.end()}; }

// The line as the rule gives it: error 2*minor - major, both ends drawn.
std::set<std::pair<int32_t, int32_t>> bresenham(Line l)
{
    int32_t x = l[0], y = l[1], dx = std::abs(l[2] - l[0]), dy = std::abs(l[3] - l[1]);
    int32_t sx = l[2] >= l[0] ? 1 : -1, sy = l[3] >= l[1] ? 1 : -1;
    std::set<std::pair<int32_t, int32_t>> out;
    bool xm = dx > dy;
    int32_t major = xm ? dx : dy, minor = xm ? dy : dx, err = 2 * minor - major;
    for (int32_t i = 0; i <= major; i++) {
        out.insert({x, y});
        if (err >= 0) {
            (xm ? y : x) += xm ? sy : sx;
            err -= 2 * major;
        }
        (xm ? x : y) += xm ? sx : sy;
        err += 2 * minor;
    }
    return out;
}

} // namespace

// ---- the clipper ----------------------------------------------------------------------

TEST_F(Gfx, ClipKeepsInsideLinesAndRejectsLinesBeyondOneEdge)
{
    start_display();
    EXPECT_EQ(clip({3, 4, 600, 470}), (std::pair{1, Line{3, 4, 600, 470}}));
    EXPECT_EQ(clip({0, 0, 639, 479}), (std::pair{1, Line{0, 0, 639, 479}}));
    for (Line l : {Line{-5, 10, -1, 300}, Line{640, 0, 900, 479}, Line{10, -1, 500, -90}, Line{0, 480, 639, 9999},
                   Line{-50, -50, -1, -1}}) {
        SCOPED_TRACE(testing::Message() << l[0] << "," << l[1] << " " << l[2] << "," << l[3]);
        EXPECT_EQ(clip(l), (std::pair{0, l}));
        Screen8 s;
        EXPECT_EQ(gfx_draw_clipped_line8(l[0], l[1], l[2], l[3], 5, s.mem(), Screen8::W), 1);
        EXPECT_EQ(s.count(5), 0);
    }
}

TEST_F(Gfx, ClipMovesEndsOntoTheEdges)
{
    start_display();
    EXPECT_EQ(clip({-10, 240, 700, 240}), (std::pair{1, Line{0, 240, 639, 240}}));
    EXPECT_EQ(clip({320, -50, 320, 600}), (std::pair{1, Line{320, 0, 320, 479}}));
    EXPECT_EQ(clip({-100, -100, 100, 100}), (std::pair{1, Line{0, 0, 100, 100}})) << "corner, top edge first";
    EXPECT_EQ(clip({600, 240, 700, 340}), (std::pair{1, Line{600, 240, 639, 279}}));
    EXPECT_EQ(clip({700, 340, 600, 240}), (std::pair{1, Line{639, 279, 600, 240}}));
    // Corner end whose top-edge crossing lies left of the screen falls back to the left edge:
    // from (-20, -10) towards (20, 30) the top edge is met at x = -10, the left edge at y = 10.
    EXPECT_EQ(clip({-20, -10, 20, 30}), (std::pair{1, Line{0, 10, 20, 30}}));
    EXPECT_EQ(clip({20, 30, -20, -10}), (std::pair{1, Line{20, 30, 0, 10}}));

    // A smaller clip rectangle is honoured.
    clip_min_x = 100;
    clip_max_x = 199;
    clip_min_y = 50;
    clip_max_y = 149;
    EXPECT_EQ(clip({0, 100, 300, 100}), (std::pair{1, Line{100, 100, 199, 100}}));
    EXPECT_EQ(clip({150, 0, 150, 479}), (std::pair{1, Line{150, 50, 150, 149}}));
    EXPECT_EQ(clip({0, 100, 99, 100}).first, 0);
}

TEST_F(Gfx, ClipRejectsALineThatOnlyPassesACorner)
{
    start_display();
    // The first end clips to (0, -4) and the second to (-5, 0): both outside, so nothing.
    EXPECT_EQ(clip({-10, 5, 5, -10}), (std::pair{0, Line{-10, 5, 5, -10}}));
    EXPECT_EQ(clip({5, -10, -10, 5}).first, 0);
    Screen8 s;
    EXPECT_EQ(gfx_draw_clipped_line8(-10, 5, 5, -10, 3, s.mem(), Screen8::W), 1);
    EXPECT_EQ(s.count(3), 0);
}

// A clipped coordinate whose integer sum is -1 becomes 0 for the first end and for a
// corner end, but stays -1 for a single-edge second end: the same line can be kept
// one way round and dropped the other.
TEST_F(Gfx, ClipRoundsMinusOneDifferentlyForTheTwoEnds)
{
    start_display();
    // (2, -1) above: x = 2 + 1 * -3 / 1 = -1, rounded to 0 as the first end.
    EXPECT_EQ(clip({2, -1, -1, 0}), (std::pair{1, Line{0, 0, 0, 0}}));
    // The same end second: -1 stays, outside, the line is dropped.
    EXPECT_EQ(clip({-1, 0, 2, -1}), (std::pair{0, Line{-1, 0, 2, -1}}));
    // A corner second end rounds like a first end: (-1, -1) gives x = -1 + 1 * 1 / 2 = -1 -> 0.
    EXPECT_EQ(clip({0, 1, -1, -1}), (std::pair{1, Line{0, 1, 0, 0}}));

    Screen8 s;
    gfx_draw_clipped_line8(2, -1, -1, 0, 4, s.mem(), Screen8::W);
    EXPECT_EQ(s.count(4), 1);
    EXPECT_EQ(s.at(0, 0), 4);
    gfx_draw_clipped_line8(-1, 0, 2, -1, 6, s.mem(), Screen8::W);
    EXPECT_EQ(s.count(6), 0);
}

// ---- lines --------------------------------------------------------------------------

TEST_F(Gfx, LinePixelsDependOnDirection)
{
    start_display();
    Screen8 s;
    EXPECT_EQ(as_set(line_pixels(s, {0, 0, 2, 1})), (std::set<std::pair<int32_t, int32_t>>{{0, 0}, {1, 1}, {2, 1}}));
    EXPECT_EQ(as_set(line_pixels(s, {2, 1, 0, 0})), (std::set<std::pair<int32_t, int32_t>>{{2, 1}, {1, 0}, {0, 0}}));
    // Steep twin, y-major.
    EXPECT_EQ(as_set(line_pixels(s, {0, 0, 1, 2})), (std::set<std::pair<int32_t, int32_t>>{{0, 0}, {1, 1}, {1, 2}}));
    EXPECT_EQ(as_set(line_pixels(s, {1, 2, 0, 0})), (std::set<std::pair<int32_t, int32_t>>{{1, 2}, {0, 1}, {0, 0}}));
    EXPECT_EQ(line_pixels(s, {7, 9, 7, 9}), (Pixels{{7, 9}})) << "a point is one pixel";
    for (Line l : {Line{100, 100, 137, 113}, Line{137, 113, 100, 100}, Line{100, 100, 91, 160}, Line{50, 90, 10, 77},
                   Line{300, 300, 310, 250}, Line{20, 20, 60, 60}, Line{60, 30, 20, 70}})
        EXPECT_EQ(as_set(line_pixels(s, l)), bresenham(l)) << l[0] << "," << l[1] << " -> " << l[2] << "," << l[3];
    Pixels diag = line_pixels(s, {10, 20, 15, 15});
    EXPECT_EQ(diag.size(), 6u);
    for (int i = 0; i <= 5; i++) EXPECT_TRUE(as_set(diag).count({10 + i, 20 - i})) << i;
}

TEST_F(Gfx, ClippedLinesStayInsideTheBuffer)
{
    start_display();
    Screen8 s;
    gfx_draw_clipped_line8(-10, 240, 700, 240, 1, s.mem(), Screen8::W);
    EXPECT_EQ(s.count(1), 640);
    for (int32_t x = 0; x < 640; x++) ASSERT_EQ(s.at(x, 240), 1) << x;
    gfx_draw_clipped_line8(320, -50, 320, 600, 2, s.mem(), Screen8::W);
    EXPECT_EQ(s.count(2), 480);
    EXPECT_EQ(s.at(320, 0), 2);
    EXPECT_EQ(s.at(320, 479), 2);
    gfx_draw_clipped_line8(639, 479, 639, 479, 3, s.mem(), Screen8::W);
    EXPECT_EQ(s.at(639, 479), 3);

    // Absurd lines stay on the screen (a stray store is caught by the sanitizer).
    for (const Line &l : {Line{-1000, -700, 1700, 1300}, Line{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}})
        EXPECT_EQ(gfx_draw_clipped_line8(l[0], l[1], l[2], l[3], 9, s.mem(), Screen8::W), 1);
    EXPECT_GT(s.count(9), 0);
}

TEST_F(Gfx, RectangleFillIsTwoByTwoAndCut)
{
    start_display();
    gfx_fill_surface(back_surface, 0, nullptr);
    EXPECT_EQ(gfx_fill_rect_blit(99, 49, 101, 51, 8, back_surface), 1);
    int n = 0;
    for (int32_t y = 0; y < 480; y++)
        for (int32_t x = 0; x < 640; x++) n += pixel_at(back_surface, x, y) == 8;
    EXPECT_EQ(n, 4);
    EXPECT_EQ(pixel_at(back_surface, 99, 49), 8);
    EXPECT_EQ(pixel_at(back_surface, 100, 50), 8);
    EXPECT_EQ(pixel_at(back_surface, 101, 50), 0);
    EXPECT_EQ(gfx_fill_rect_blit(-1, -1, 1, 1, 6, back_surface), 1);
    EXPECT_EQ(pixel_at(back_surface, 0, 0), 6);
    EXPECT_EQ(pixel_at(back_surface, 1, 0), 0);
    EXPECT_EQ(gfx_fill_rect_blit(639, 479, 641, 481, 5, back_surface), 1);
    EXPECT_EQ(pixel_at(back_surface, 639, 479), 5);
}
