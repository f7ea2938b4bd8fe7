#include "gfx_fixture.h"

#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

#include "gfx/line.h"
#include "gfx/polygon.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

uint32_t bits(float f)
{
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

PolygonShape shape(int32_t x, int32_t y, std::vector<Vertex2F> &v, uint32_t colour = 225)
{
    return PolygonShape{1, (int32_t)v.size(), x, y, 0, 0, colour, v.data()};
}

struct Tri {
    int32_t x1, y1, x2, y2, x3, y3;
};

// Signed distance of (px, py) inside the edge a->b (positive inside for a counter-clockwise order).
double edge_dist(double ax, double ay, double bx, double by, double px, double py)
{
    double len = std::hypot(bx - ax, by - ay);
    return ((bx - ax) * (py - ay) - (by - ay) * (px - ax)) / len;
}

// Smallest of the three edge distances: > 0 inside, < 0 outside (roughly the distance).
double inside_by(const Tri &t, double px, double py)
{
    double area = (t.x2 - t.x1) * (t.y3 - t.y1) - (t.y2 - t.y1) * (t.x3 - t.x1);
    double s = area > 0 ? 1 : -1;
    return std::min({s * edge_dist(t.x1, t.y1, t.x2, t.y2, px, py), s * edge_dist(t.x2, t.y2, t.x3, t.y3, px, py),
                     s * edge_dist(t.x3, t.y3, t.x1, t.y1, px, py)});
}

// A fill is right when nothing lands more than a pixel and a half outside the triangle
// and everything well inside it is covered.
void expect_fill_matches(const Tri &t, const std::function<bool(int32_t, int32_t)> &filled, const char *what)
{
    SCOPED_TRACE(testing::Message() << what << " (" << t.x1 << "," << t.y1 << ") (" << t.x2 << "," << t.y2 << ") ("
                                    << t.x3 << "," << t.y3 << ")");
    int stray = 0, holes = 0, count = 0;
    for (int32_t y = 0; y < 480; y++)
        for (int32_t x = 0; x < 640; x++) {
            double d = inside_by(t, x, y);
            bool f = filled(x, y);
            count += f;
            if (f && d < -1.5) stray++;
            if (!f && d > 1.5) holes++;
        }
    EXPECT_EQ(stray, 0);
    EXPECT_EQ(holes, 0);
    EXPECT_GT(count, 0);
}

} // namespace

// ---- trig tables and rotation -----------------------------------------------------------

TEST(Trig, TablesUseTheSinglePrecisionPi)
{
    gfx_build_trig_tables();
    EXPECT_EQ(bits(3.1415927f), 0x40490FDBu);
    struct { int deg; uint32_t sin_bits, cos_bits; } expect[] = {
        {0, 0x00000000, 0x3F800000},   {90, 0x3F800000, 0xB33BBD2E}, {180, 0xB3BBBD2E, 0xBF800000},
        {270, 0xBF800000, 0x324CDE2E}, {360, 0x343BBD2E, 0x3F800000},
    };
    for (auto e : expect) {
        EXPECT_EQ(bits(sin_table[e.deg]), e.sin_bits) << "sin " << e.deg << " = " << sin_table[e.deg];
        EXPECT_EQ(bits(cos_table[e.deg]), e.cos_bits) << "cos " << e.deg << " = " << cos_table[e.deg];
    }
    EXPECT_EQ(sin_table[90], 1.0f);
    EXPECT_LT(cos_table[90], 0.0f) << "pi rounded up puts 90 degrees a hair past straight down";
    EXPECT_NEAR(cos_table[90], -4.37e-8, 0.01e-8);
    EXPECT_NEAR(sin_table[360], 1.75e-7, 0.01e-7);
    // Every entry is the float angle's sine and cosine, rounded once to float.
    for (int i = 0; i <= 360; i++) {
        float a = (float)i * 3.1415927f / 180.0f;
        ASSERT_EQ(bits(sin_table[i]), bits((float)std::sin((double)a))) << i;
        ASSERT_EQ(bits(cos_table[i]), bits((float)std::cos((double)a))) << i;
        ASSERT_NEAR(sin_table[i], std::sin(i * kPi / 180.0), 1e-6) << i;
    }
}

TEST(Trig, RotationTurnsClockwiseOnScreen)
{
    gfx_build_trig_tables();
    std::vector<Vertex2F> v = {{40, 0}, {0, 10}, {-3.5f, 2.25f}};
    PolygonShape p = shape(100, 200, v);
    ASSERT_EQ(gfx_rotate_polygon(&p, 90), 1);
    EXPECT_NEAR(v[0].x, 0.0f, 1e-5);
    EXPECT_NEAR(v[0].y, 40.0f, 1e-5) << "90 degrees points straight down";
    EXPECT_NEAR(v[1].x, -10.0f, 1e-5);
    EXPECT_NEAR(v[1].y, 0.0f, 1e-5);
    EXPECT_EQ(p.x, 100);
    EXPECT_EQ(p.y, 200);

    std::vector<Vertex2F> down = {{40, 0}};
    PolygonShape pd = shape(0, 0, down);
    gfx_rotate_polygon(&pd, 1);
    EXPECT_GT(down[0].y, 0.0f) << "+1 turns (40, 0) downwards";
    EXPECT_NEAR(down[0].y, 40 * std::sin(kPi / 180), 1e-5);

    std::vector<Vertex2F> a = {{40, 0}, {-3.5f, 2.25f}}, b = a, orig = a;
    PolygonShape pa = shape(0, 0, a), pb = shape(0, 0, b);
    gfx_rotate_polygon(&pa, -1);
    gfx_rotate_polygon(&pb, 359);
    for (size_t i = 0; i < a.size(); i++) {
        EXPECT_EQ(bits(a[i].x), bits(b[i].x)) << "-1 reads the entry for 359";
        EXPECT_EQ(bits(a[i].y), bits(b[i].y));
    }
    EXPECT_LT(a[0].y, 0.0f);
    a = orig;
    pa.vertices = a.data();
    gfx_rotate_polygon(&pa, 0);
    gfx_rotate_polygon(&pa, 360);
    for (size_t i = 0; i < a.size(); i++) {
        EXPECT_NEAR(a[i].x, orig[i].x, 1e-4);
        EXPECT_NEAR(a[i].y, orig[i].y, 1e-4);
    }
    // A key held for a full turn comes back close to where it started.
    std::vector<Vertex2F> c = {{40, 0}};
    PolygonShape pc = shape(0, 0, c);
    for (int i = 0; i < 360; i++) gfx_rotate_polygon(&pc, 1);
    EXPECT_NEAR(c[0].x, 40.0f, 0.01);
    EXPECT_NEAR(c[0].y, 0.0f, 0.01);
    EXPECT_EQ(gfx_rotate_polygon(nullptr, 1), 0);
}

TEST(Trig, MatrixHelpers)
{
    float m[6];
    EXPECT_EQ(gfx_affine_init(m, 2, 3, 5, 7, 11, 13), 1);
    float p[2] = {1, 10}, r[2];
    EXPECT_EQ(gfx_affine_apply(p, m, r), 1);
    EXPECT_FLOAT_EQ(r[0], 1 * 2 + 10 * 5 + 11);
    EXPECT_FLOAT_EQ(r[1], 1 * 3 + 10 * 7 + 13);

    const float id[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    const float a[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    float out[9];
    gfx_matrix3_multiply(a, id, out);
    for (int i = 0; i < 9; i++) EXPECT_EQ(out[i], a[i]);
    gfx_matrix3_multiply(a, a, out);
    EXPECT_EQ(out[0], 30.0f);
    EXPECT_EQ(out[5], 96.0f);
    float row[3] = {1, 1, 1}, ro[3];
    gfx_row3_multiply(row, a, ro);
    EXPECT_EQ(ro[0], 12.0f);
    EXPECT_EQ(ro[2], 18.0f);

    std::vector<Vertex2F> v = {{2, -3}, {-4, 1}};
    PolygonShape s = shape(10, 20, v);
    gfx_scale_polygon(&s, 2, 3);
    EXPECT_FLOAT_EQ(v[0].y, -9.0f);
    gfx_translate_polygon_matrix(&s, -15, 5);
    EXPECT_EQ(s.x, -5);
    EXPECT_EQ(s.y, 25);
    float lx, hx, ly, hy;
    EXPECT_EQ(gfx_polygon_extent(&s, &lx, &hx, &ly, &hy), 1);
    EXPECT_FLOAT_EQ(lx, -8.0f);
    EXPECT_FLOAT_EQ(hx, 4.0f);
    EXPECT_FLOAT_EQ(ly, -9.0f);
    EXPECT_FLOAT_EQ(hy, 3.0f);
}

// ---- outlines ----------------------------------------------------------------------

TEST_F(Gfx, PolygonOutlineClosesFromTheFirstVertex)
{
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
    // The closing line is walked from vertex 0: (1, 1) is set, (1, 0) is not.
    EXPECT_EQ(got.at(101, 101), 225);
    EXPECT_EQ(got.at(101, 100), 0);

    p.state = 0;
    Screen8 none;
    EXPECT_EQ(gfx_draw_polygon8(&p, none.mem(), Screen8::W), 0);
    EXPECT_EQ(none.count(0), Screen8::W * Screen8::H);
    EXPECT_EQ(gfx_draw_polygon8(nullptr, none.mem(), Screen8::W), 0);
}

TEST_F(Gfx, PolygonVerticesTruncateTowardZeroAndAreCutAtTheScreen)
{
    start_display();
    std::vector<Vertex2F> one = {{-0.5f, 0.75f}};
    PolygonShape p = shape(100, 100, one, 3);
    Screen8 s;
    ASSERT_EQ(gfx_draw_polygon8(&p, s.mem(), Screen8::W), 1);
    EXPECT_EQ(s.count(3), 1);
    EXPECT_EQ(s.at(99, 100), 3);
    // (-0.5, -0.5) from the origin is pixel (0, 0), not (-1, -1) off the screen.
    std::vector<Vertex2F> corner = {{-0.5f, -0.5f}};
    PolygonShape q = shape(0, 0, corner, 4);
    gfx_draw_polygon8(&q, s.mem(), Screen8::W);
    EXPECT_EQ(s.at(0, 0), 4);

    // A square hanging over the bottom-right corner: only its top and left edges show.
    std::vector<Vertex2F> sq = {{0, 0}, {20, 0}, {20, 20}, {0, 20}};
    PolygonShape r = shape(630, 470, sq, 5);
    ASSERT_EQ(gfx_draw_polygon8(&r, s.mem(), Screen8::W), 1);
    EXPECT_EQ(s.count(5), 19);
    EXPECT_EQ(s.at(639, 470), 5);
    EXPECT_EQ(s.at(630, 479), 5);
    // And wholly off: nothing.
    r.x = -100;
    ASSERT_EQ(gfx_draw_polygon8(&r, s.mem(), Screen8::W), 1);
    EXPECT_EQ(s.count(5), 19);

    // The 16-bit twin draws the same outline into words.
    std::vector<uint16_t> words((size_t)640 * 480, 0);
    r.x = 630;
    r.colour = 0xABCD;
    ASSERT_EQ(gfx_draw_polygon16(&r, words.data(), 640 * 2), 1);
    int n = 0;
    for (uint16_t w : words) n += w == 0xABCD;
    EXPECT_EQ(n, 19);
}

// ---- filled triangles and polygons ---------------------------------------------------------

TEST_F(Gfx, TriangleFillsCoverTheTriangleAndNothingElse)
{
    start_display();
    const Tri tris[] = {
        {10, 10, 30, 10, 20, 30},      // flat top
        {20, 10, 10, 30, 30, 30},      // flat bottom
        {15, 5, 60, 25, 5, 45},        // split at the middle vertex
        {60, 25, 5, 45, 15, 5},        // same, other order
        {300, 100, 310, 400, 100, 300}, // long and thin
        {-20, -10, 50, 200, 700, 470}, // reaching off the screen
        {600, -50, 700, 300, 500, 520},
    };
    for (const Tri &t : tris) {
        Screen8 s;
        EXPECT_EQ(gfx_fill_triangle8(t.x1, t.y1, t.x2, t.y2, t.x3, t.y3, 7, s.mem(), Screen8::W), 1);
        expect_fill_matches(t, [&](int32_t x, int32_t y) { return s.at(x, y) == 7; }, "float");
        EXPECT_EQ(s.count(7) + s.count(0), Screen8::W * Screen8::H);

        Screen8 fx;
        gfx_fill_triangle8_fixed(t.x1, t.y1, t.x2, t.y2, t.x3, t.y3, 8, fx.mem(), Screen8::W);
        expect_fill_matches(t, [&](int32_t x, int32_t y) { return fx.at(x, y) == 8; }, "fixed");

        std::vector<uint16_t> w((size_t)640 * 480, 0);
        gfx_fill_triangle16(t.x1, t.y1, t.x2, t.y2, t.x3, t.y3, 0x1234, w.data(), 640 * 2);
        expect_fill_matches(t, [&](int32_t x, int32_t y) { return w[(size_t)y * 640 + x] == 0x1234; }, "16-bit");
    }
}

TEST_F(Gfx, TriangleSpanRuleAndDegenerateCases)
{
    start_display();
    Screen8 s;
    // Flat top from 10 to 30 on row 10, the apex alone on row 30.
    gfx_fill_triangle8(10, 10, 30, 10, 20, 30, 1, s.mem(), Screen8::W);
    for (int32_t x = 0; x < 40; x++) EXPECT_EQ(s.at(x, 10), (x >= 10 && x <= 30) ? 1 : 0) << x;
    for (int32_t x = 0; x < 40; x++) EXPECT_EQ(s.at(x, 30), x == 20 ? 1 : 0) << x;
    EXPECT_EQ(s.at(20, 31), 0);
    EXPECT_EQ(s.at(20, 9), 0);

    Screen8 e;
    EXPECT_EQ(gfx_fill_triangle8(5, 5, 5, 50, 5, 90, 2, e.mem(), Screen8::W), 1) << "all x equal";
    EXPECT_EQ(gfx_fill_triangle8(5, 5, 50, 5, 90, 5, 2, e.mem(), Screen8::W), 1) << "all y equal";
    EXPECT_EQ(gfx_fill_triangle8(-50, 5, -10, 50, -1, 90, 2, e.mem(), Screen8::W), 1) << "left of the screen";
    EXPECT_EQ(gfx_fill_triangle8(5, 480, 50, 900, 90, 481, 2, e.mem(), Screen8::W), 1) << "below";
    EXPECT_EQ(e.count(2), 0);
}

TEST_F(Gfx, ConvexPolygonFill)
{
    start_display();
    std::vector<Vertex2F> sq = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
    PolygonShape p = shape(100, 100, sq, 6);
    Screen8 s;
    ASSERT_EQ(gfx_fill_polygon8(&p, s.mem(), Screen8::W), 1);
    EXPECT_EQ(s.count(6), 11 * 11);
    EXPECT_EQ(s.at(100, 100), 6);
    EXPECT_EQ(s.at(110, 110), 6);

    std::vector<Vertex2F> tri = {{0, 0}, {40, 30}, {-20, 50}};
    PolygonShape t = shape(300, 200, tri, 9);
    Screen8 u;
    ASSERT_EQ(gfx_fill_polygon8(&t, u.mem(), Screen8::W), 1);
    expect_fill_matches(Tri{300, 200, 340, 230, 280, 250}, [&](int32_t x, int32_t y) { return u.at(x, y) == 9; },
                        "convex");

    // Hanging off the screen: cut, nothing written outside the buffer.
    p.x = 635;
    p.y = -5;
    Screen8 c;
    ASSERT_EQ(gfx_fill_polygon8(&p, c.mem(), Screen8::W), 1);
    EXPECT_EQ(c.count(6), 5 * 6);
    p.state = 0;
    EXPECT_EQ(gfx_fill_polygon8(&p, c.mem(), Screen8::W), 0);
}

// ---- scans and estimates ---------------------------------------------------------------

TEST_F(Gfx, RectHasColourIsInclusiveAndClamped)
{
    start_display();
    Screen8 s;
    s.px[(size_t)30 * 640 + 20] = 50;
    s.px[(size_t)479 * 640 + 639] = 200;
    s.px[0] = 7;
    EXPECT_EQ(gfx_rect_has_colour8(10, 10, 20, 30, 40, 60, s.mem(), 640), 1);
    EXPECT_EQ(gfx_rect_has_colour8(20, 30, 20, 30, 50, 50, s.mem(), 640), 1);
    EXPECT_EQ(gfx_rect_has_colour8(10, 10, 19, 30, 40, 60, s.mem(), 640), 0);
    EXPECT_EQ(gfx_rect_has_colour8(10, 10, 20, 29, 40, 60, s.mem(), 640), 0);
    EXPECT_EQ(gfx_rect_has_colour8(10, 10, 20, 30, 51, 60, s.mem(), 640), 0);
    EXPECT_EQ(gfx_rect_has_colour8(10, 10, 20, 30, 1, 50, s.mem(), 640), 1);
    // Coordinates past the screen are clamped to it.
    EXPECT_EQ(gfx_rect_has_colour8(600, 400, 5000, 9000, 200, 255, s.mem(), 640), 1);
    EXPECT_EQ(gfx_rect_has_colour8(-100, -100, -1, -1, 7, 7, s.mem(), 640), 1);
    EXPECT_EQ(gfx_rect_has_colour8(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, 201, 255, s.mem(), 640), 0);

    std::vector<uint16_t> w((size_t)640 * 480, 0);
    w[(size_t)100 * 640 + 300] = 0xF800;
    EXPECT_EQ(gfx_rect_has_colour16(290, 90, 310, 110, 0x07E0, 0xF800, w.data(), 640 * 2), 1);
    EXPECT_EQ(gfx_rect_has_colour16(290, 90, 310, 110, 0x07E0, 0x001F, w.data(), 640 * 2), 0);
    EXPECT_EQ(gfx_rect_has_colour16(301, 90, 310, 110, 0xF800, 0xF800, w.data(), 640 * 2), 0);
}

TEST(Geometry, BoxesOverlapOnTheirInnerBoxes)
{
    // 20 wide: inner half-extent (20 >> 1) - (20 >> 3) = 8, so centres closer than 16 overlap.
    EXPECT_EQ(gfx_boxes_overlap(0, 0, 20, 20, 15, 0, 20, 20), 1);
    EXPECT_EQ(gfx_boxes_overlap(0, 0, 20, 20, 16, 0, 20, 20), 0);
    EXPECT_EQ(gfx_boxes_overlap(0, 0, 20, 20, -15, 0, 20, 20), 1);
    EXPECT_EQ(gfx_boxes_overlap(0, 0, 20, 20, 0, 15, 20, 20), 1);
    EXPECT_EQ(gfx_boxes_overlap(0, 0, 20, 20, 0, -16, 20, 20), 0);
    EXPECT_EQ(gfx_boxes_overlap(0, 0, 20, 20, 15, 15, 20, 20), 1);
    EXPECT_EQ(gfx_boxes_overlap(0, 0, 20, 20, 0, 0, 20, 20), 1);
    // 8 wide (half 3) against 40 wide (half 15): offsets measured from each box's own corner.
    EXPECT_EQ(gfx_boxes_overlap(0, 0, 8, 8, -29, 0, 40, 8), 1);
    EXPECT_EQ(gfx_boxes_overlap(0, 0, 8, 8, -30, 0, 40, 8), 0);
    EXPECT_EQ(gfx_boxes_overlap(0, 0, 8, 8, 5, 0, 40, 8), 1);
    EXPECT_EQ(gfx_boxes_overlap(0, 0, 8, 8, 6, 0, 40, 8), 0);
}

TEST(Geometry, DistanceEstimates)
{
    EXPECT_EQ(gfx_approx_distance2(3, 4), 6);
    EXPECT_EQ(gfx_approx_distance2(-3, -4), 6);
    EXPECT_EQ(gfx_approx_distance2(100, 0), 100);
    EXPECT_EQ(gfx_approx_distance2(0, -7), 7);
    EXPECT_EQ(gfx_approx_distance2(100, 100), 131);
    EXPECT_EQ(gfx_approx_distance2(0, 0), 0);
    for (int32_t a = 0; a < 640; a += 9)
        for (int32_t b = 0; b < 480; b += 11) {
            if (std::max(a, b) < 64) continue;
            double r = gfx_approx_distance2(a, b) / std::hypot(a, b);
            ASSERT_GE(r, 0.92) << a << "," << b;
            ASSERT_LE(r, 1.07) << a << "," << b;
        }
    EXPECT_EQ(gfx_approx_distance3(3, 4, 0), 5.0f);
    EXPECT_EQ(gfx_approx_distance3(0, -4, 3), 5.0f);
    EXPECT_EQ(gfx_approx_distance3(1, 0, 0), 1.0f);
    EXPECT_EQ(gfx_approx_distance3(0.5f, 0, 0), 0.0f);
    EXPECT_EQ(gfx_approx_distance3(100, 100, 100), 159.0f) << "true 173.2";
}
