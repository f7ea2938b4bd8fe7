// Trig tables, rotation, outlines, fills, colour scans and the small geometric helpers.
#include "gfx_fixture.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "gfx/line.h"
#include "gfx/polygon.h"

namespace {

uint32_t bits(float f) {
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

PolygonShape shape(int32_t x, int32_t y, std::vector<Vertex2F> &v, uint32_t colour = 225) {
    return PolygonShape{1, static_cast<int32_t>(v.size()), x, y, 0, 0, colour, v.data()};
}

// Pixels of colour c that lie more than 1.5 pixels outside the triangle, and pixels more than 1.5
// inside it that are not c.
std::pair<int, int> fill_errors(const Screen8 &s, uint8_t c, const int32_t t[6]) {
    double area = (t[2] - t[0]) * (t[5] - t[1]) - (t[3] - t[1]) * (t[4] - t[0]), sign = area > 0 ? 1 : -1;
    int stray = 0, holes = 0;
    for (int32_t y = 0; y < 480; y++)
        for (int32_t x = 0; x < 640; x++) {
            double d = 1e9;
            for (int e = 0; e < 3; e++) {
                double ax = t[2 * e], ay = t[2 * e + 1], bx = t[(2 * e + 2) % 6], by = t[(2 * e + 3) % 6];
                d = std::min(d, sign * ((bx - ax) * (y - ay) - (by - ay) * (x - ax)) / std::hypot(bx - ax, by - ay));
            }
            stray += s.at(x, y) == c && d < -1.5;
            holes += s.at(x, y) != c && d > 1.5;
        }
    return {stray, holes};
}

} // namespace

TEST(Trig, TablesUseTheSinglePrecisionPi) {
    gfx_build_trig_tables();
    const struct {
        int deg;
        uint32_t sin_bits, cos_bits;
    } expect[] = {
        {0, 0x00000000, 0x3F800000},   {90, 0x3F800000, 0xB33BBD2E},  {180, 0xB3BBBD2E, 0xBF800000},
        {270, 0xBF800000, 0x324CDE2E}, {360, 0x343BBD2E, 0x3F800000},
    };
    for (auto e : expect) {
        EXPECT_EQ(bits(sin_table[e.deg]), e.sin_bits) << "sin " << e.deg;
        EXPECT_EQ(bits(cos_table[e.deg]), e.cos_bits) << "cos " << e.deg;
    }
}

// With y down a positive angle turns clockwise on the screen; turns accumulate in place.
TEST(Trig, RotationTurnsClockwiseAndOneDegreeStepsAddUp) {
    gfx_build_trig_tables();
    std::vector<Vertex2F> v = {{40, 0}, {0, 10}};
    PolygonShape p = shape(100, 200, v);
    ASSERT_EQ(gfx_rotate_polygon(&p, 90), 1);
    EXPECT_NEAR(v[0].x, 0.0f, 1e-5);
    EXPECT_NEAR(v[0].y, 40.0f, 1e-5) << "90 degrees points straight down";
    EXPECT_NEAR(v[1].x, -10.0f, 1e-5);
    EXPECT_EQ(p.x, 100);
    std::vector<Vertex2F> a = {{40, 0}}, b = a;
    PolygonShape pa = shape(0, 0, a), pb = shape(0, 0, b);
    gfx_rotate_polygon(&pa, -1);
    gfx_rotate_polygon(&pb, 359);
    EXPECT_EQ(bits(a[0].y), bits(b[0].y)) << "-1 reads the entry for 359";
    EXPECT_LT(a[0].y, 0.0f);
    for (int turns : {10, 45, 90, 360}) {
        std::vector<Vertex2F> c = {{40, 0}, {0, 0}};
        PolygonShape pc = shape(0, 0, c);
        for (int i = 0; i < turns; i++) gfx_rotate_polygon(&pc, 1);
        EXPECT_NEAR(c[0].x, 40 * std::cos(turns * M_PI / 180), 0.01) << turns;
        EXPECT_NEAR(c[0].y, 40 * std::sin(turns * M_PI / 180), 0.01) << turns;
        EXPECT_EQ(c[1].x, 0.0f) << "the pivot stays";
    }
    EXPECT_EQ(gfx_rotate_polygon(nullptr, 1), 0);
}

TEST_F(Gfx, PolygonOutlineClosesFromTheFirstVertexAndIsCut) {
    start_display();
    gfx_build_trig_tables();
    std::vector<Vertex2F> v = {{0, 0}, {0, 10}, {5, 10}, {2, 1}};
    PolygonShape p = shape(100, 100, v, 225);
    Screen8 got, want;
    ASSERT_EQ(gfx_draw_polygon8(&p, got.mem(), Screen8::W), 1);
    gfx_draw_line8(100, 100, 100, 110, 225, want.mem(), Screen8::W);
    gfx_draw_line8(100, 110, 105, 110, 225, want.mem(), Screen8::W);
    gfx_draw_line8(105, 110, 102, 101, 225, want.mem(), Screen8::W);
    gfx_draw_line8(100, 100, 102, 101, 225, want.mem(), Screen8::W);
    EXPECT_EQ(got.px, want.px);
    EXPECT_EQ(got.at(101, 101), 225) << "the closing line is walked from vertex 0";
    p.state = 0;
    Screen8 none;
    EXPECT_EQ(gfx_draw_polygon8(&p, none.mem(), Screen8::W), 0);
    EXPECT_EQ(none.count(0), Screen8::W * Screen8::H);
    // Vertices truncate toward zero; a square over the corner shows its top and left edges.
    std::vector<Vertex2F> one = {{-0.5f, 0.75f}}, sq = {{0, 0}, {20, 0}, {20, 20}, {0, 20}};
    PolygonShape q = shape(100, 100, one, 3), r = shape(630, 470, sq, 5);
    Screen8 s;
    gfx_draw_polygon8(&q, s.mem(), Screen8::W);
    EXPECT_EQ(s.at(99, 100), 3);
    ASSERT_EQ(gfx_draw_polygon8(&r, s.mem(), Screen8::W), 1);
    EXPECT_EQ(s.count(5), 19);
}

TEST_F(Gfx, TriangleAndConvexFillsCoverTheirShapeAndNothingElse) {
    start_display();
    const int32_t tris[][6] = {{10, 10, 30, 10, 20, 30},
                               {20, 10, 10, 30, 30, 30},
                               {15, 5, 60, 25, 5, 45},
                               {60, 25, 5, 45, 15, 5},
                               {-20, -10, 50, 200, 700, 470}};
    for (const auto &t : tris) {
        Screen8 s, fx;
        EXPECT_EQ(gfx_fill_triangle8(t[0], t[1], t[2], t[3], t[4], t[5], 7, s.mem(), Screen8::W), 1);
        EXPECT_EQ(fill_errors(s, 7, t), std::make_pair(0, 0)) << "float, first vertex " << t[0] << "," << t[1];
        gfx_fill_triangle8_fixed(t[0], t[1], t[2], t[3], t[4], t[5], 8, fx.mem(), Screen8::W);
        EXPECT_EQ(fill_errors(fx, 8, t), std::make_pair(0, 0)) << "fixed, first vertex " << t[0] << "," << t[1];
    }
    // Flat top from 10 to 30 on row 10, the apex alone on row 30.
    Screen8 s;
    gfx_fill_triangle8(10, 10, 30, 10, 20, 30, 1, s.mem(), Screen8::W);
    for (int32_t x = 0; x < 40; x++) EXPECT_EQ(s.at(x, 10), (x >= 10 && x <= 30) ? 1 : 0) << x;
    for (int32_t x = 0; x < 40; x++) EXPECT_EQ(s.at(x, 30), x == 20 ? 1 : 0) << x;
    EXPECT_EQ(s.at(20, 31), 0);
    Screen8 e;
    gfx_fill_triangle8(5, 5, 5, 50, 5, 90, 2, e.mem(), Screen8::W);
    gfx_fill_triangle8(-50, 5, -10, 50, -1, 90, 2, e.mem(), Screen8::W);
    EXPECT_EQ(e.count(2), 0) << "a line or a triangle off the screen fills nothing";
    std::vector<Vertex2F> sq = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
    PolygonShape p = shape(100, 100, sq, 6);
    Screen8 c;
    ASSERT_EQ(gfx_fill_polygon8(&p, c.mem(), Screen8::W), 1);
    EXPECT_EQ(c.count(6), 11 * 11);
    p.x = 635;
    p.y = -5;
    Screen8 cut;
    gfx_fill_polygon8(&p, cut.mem(), Screen8::W);
    EXPECT_EQ(cut.count(6), 5 * 6);
}
