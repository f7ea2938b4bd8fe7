// Polygons and their trig tables, filled triangles and convex polygons, small
// matrix and geometry helpers.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "gfx/display.h"
#include "gfx/line.h"
#include "gfx/polygon.h"

float sin_table[361];
float cos_table[361];

void gfx_build_trig_tables(void) {
    const float pi = 3.1415927f; // bits 0x40490FDB, a hair above pi
    const float half_turn = 180.0f;
    for (int i = 0; i <= 360; i++) {
        float a = static_cast<float>(i) * pi / half_turn;
        cos_table[i] = static_cast<float>(std::cos(static_cast<double>(a)));
        sin_table[i] = static_cast<float>(std::sin(static_cast<double>(a)));
    }
}

static bool polygon_drawable(const PolygonShape *p) {
    return p && p->state != 0 && p->vertex_count >= 1 && p->vertices;
}

template <typename Pixel, typename LineFn>
static int32_t draw_outline(const PolygonShape *p, Pixel *memory, int32_t pitch, LineFn line) {
    if (!polygon_drawable(p) || !memory) return 0;
    auto vx = [&](int i) { return static_cast<int32_t>(static_cast<float>(p->x) + p->vertices[i].x); };
    auto vy = [&](int i) { return static_cast<int32_t>(static_cast<float>(p->y) + p->vertices[i].y); };
    int n = p->vertex_count;
    for (int i = 0; i < n - 1; i++) line(vx(i), vy(i), vx(i + 1), vy(i + 1), (Pixel)p->colour, memory, pitch);
    line(vx(0), vy(0), vx(n - 1), vy(n - 1), (Pixel)p->colour, memory, pitch);
    return 1;
}

int32_t gfx_draw_polygon8(const PolygonShape *polygon, uint8_t *memory, int32_t pitch) {
    return draw_outline(polygon, memory, pitch, gfx_draw_clipped_line8);
}

int32_t gfx_draw_polygon16(const PolygonShape *polygon, uint16_t *memory, int32_t pitch) {
    return draw_outline(polygon, memory, pitch, gfx_draw_clipped_line16);
}

// Table index for a whole-degree angle; callers pass -360..360, anything else wraps.
static int32_t table_index(int32_t angle) {
    if (angle < 0) angle += 360;
    if (angle < 0 || angle > 360) angle = ((angle % 360) + 360) % 360;
    return angle;
}

int32_t gfx_affine_init(float m[6], float m00, float m01, float m10, float m11, float m20, float m21) {
    m[0] = m00;
    m[1] = m01;
    m[2] = m10;
    m[3] = m11;
    m[4] = m20;
    m[5] = m21;
    return 1;
}

int32_t gfx_affine_apply(const float point[2], const float m[6], float result[2]) {
    float r0 = point[0] * m[0];
    r0 = r0 + point[1] * m[2];
    r0 = r0 + m[4];
    float r1 = point[0] * m[1];
    r1 = r1 + point[1] * m[3];
    r1 = r1 + m[5];
    result[0] = r0;
    result[1] = r1;
    return 1;
}

int32_t gfx_rotate_polygon(PolygonShape *polygon, int32_t angle) {
    if (!polygon) return 0;
    int32_t a = table_index(angle);
    float m[6];
    gfx_affine_init(m, cos_table[a], sin_table[a], -sin_table[a], cos_table[a], 0.0f, 0.0f);
    for (int32_t i = 0; i < polygon->vertex_count && polygon->vertices; i++) {
        float p[2] = {polygon->vertices[i].x, polygon->vertices[i].y}, r[2];
        gfx_affine_apply(p, m, r);
        polygon->vertices[i].x = r[0];
        polygon->vertices[i].y = r[1];
    }
    return 1;
}

int32_t gfx_translate_polygon(PolygonShape *polygon, int32_t dx, int32_t dy) {
    if (!polygon) return 0;
    polygon->x += dx;
    polygon->y += dy;
    return 1;
}

int32_t gfx_translate_polygon_matrix(PolygonShape *polygon, int32_t dx, int32_t dy) {
    if (!polygon) return 0;
    float m[6], p[2] = {static_cast<float>(polygon->x), static_cast<float>(polygon->y)}, r[2];
    gfx_affine_init(m, 1.0f, 0.0f, 0.0f, 1.0f, static_cast<float>(dx), static_cast<float>(dy));
    gfx_affine_apply(p, m, r);
    polygon->x = static_cast<int32_t>(r[0]);
    polygon->y = static_cast<int32_t>(r[1]);
    return 1;
}

int32_t gfx_rotate_polygon_direct(PolygonShape *polygon, int32_t angle) {
    if (!polygon) return 0;
    int32_t a = table_index(angle);
    double c = cos_table[a], s = sin_table[a];
    for (int32_t i = 0; i < polygon->vertex_count && polygon->vertices; i++) {
        double x = polygon->vertices[i].x, y = polygon->vertices[i].y;
        polygon->vertices[i].x = static_cast<float>(x * c - y * s);
        polygon->vertices[i].y = static_cast<float>(x * s + y * c);
    }
    return 1;
}

int32_t gfx_scale_polygon(PolygonShape *polygon, float sx, float sy) {
    if (!polygon) return 0;
    for (int32_t i = 0; i < polygon->vertex_count && polygon->vertices; i++) {
        polygon->vertices[i].x *= sx;
        polygon->vertices[i].y *= sy;
    }
    return 1;
}

int32_t gfx_scale_polygon_matrix(PolygonShape *polygon, float sx, float sy) {
    if (!polygon) return 0;
    float m[6];
    gfx_affine_init(m, sx, 0.0f, 0.0f, sy, 0.0f, 0.0f);
    for (int32_t i = 0; i < polygon->vertex_count && polygon->vertices; i++) {
        float p[2] = {polygon->vertices[i].x, polygon->vertices[i].y}, r[2];
        gfx_affine_apply(p, m, r);
        polygon->vertices[i].x = r[0];
        polygon->vertices[i].y = r[1];
    }
    return 1;
}

int32_t gfx_polygon_extent(const PolygonShape *polygon, float *min_x, float *max_x, float *min_y, float *max_y) {
    if (!polygon || polygon->vertex_count <= 0 || !polygon->vertices) return 0;
    float lx = 0, hx = 0, ly = 0, hy = 0;
    for (int32_t i = 0; i < polygon->vertex_count; i++) {
        lx = std::min(lx, polygon->vertices[i].x);
        hx = std::max(hx, polygon->vertices[i].x);
        ly = std::min(ly, polygon->vertices[i].y);
        hy = std::max(hy, polygon->vertices[i].y);
    }
    if (min_x) *min_x = lx;
    if (max_x) *max_x = hx;
    if (min_y) *min_y = ly;
    if (max_y) *max_y = hy;
    return 1;
}

int32_t gfx_matrix3_multiply(const float a[9], const float b[9], float result[9]) {
    float r[9];
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++) {
            float sum = 0.0f;
            for (int k = 0; k < 3; k++) sum += a[i * 3 + k] * b[k * 3 + j];
            r[i * 3 + j] = sum;
        }
    std::memcpy(result, r, sizeof r);
    return 1;
}

int32_t gfx_row3_multiply(const float row[3], const float m[9], float result[3]) {
    float r[3];
    for (int j = 0; j < 3; j++) r[j] = row[0] * m[j] + row[1] * m[3 + j] + row[2] * m[6 + j];
    std::memcpy(result, r, sizeof r);
    return 1;
}

// ---- filled triangles -------------------------------------------------------------

// One row of a span, cut to the clip columns; Pixel is uint8_t or uint16_t.
template <typename Pixel>
static void fill_span(int32_t y, int32_t left, int32_t count, Pixel colour, Pixel *memory, int32_t pitch, bool inside) {
    if (y < clip_min_y || y > clip_max_y || count <= 0) return;
    int32_t right = left + count - 1;
    if (!inside) {
        if (right < clip_min_x || left > clip_max_x) return;
        left = std::max(left, clip_min_x);
        right = std::min(right, clip_max_x);
    }
    Pixel *row = reinterpret_cast<Pixel *>(reinterpret_cast<uint8_t *>(memory) +
                                           static_cast<size_t>(y) *
                                               static_cast<size_t>(pitch & ~static_cast<int32_t>(sizeof(Pixel) - 1)));
    std::fill(row + left, row + right + 1, colour);
}

static bool xs_inside(float a, float b, float c) {
    return a >= clip_min_x && a <= clip_max_x && b >= clip_min_x && b <= clip_max_x && c >= clip_min_x &&
           c <= clip_max_x;
}

// Walks rows from y_top to y_bottom with two float edges; shared by both flat halves.
template <typename Pixel>
static int32_t walk_float(float y_top, float y_bottom, float xs, float xe, float dx_left, float dx_right, bool inside,
                          Pixel colour, Pixel *memory, int32_t pitch) {
    if (!memory || y_bottom < y_top) return 0;
    int32_t y0 = static_cast<int32_t>(std::ceil(y_top)), y1 = static_cast<int32_t>(y_bottom);
    if (y0 < clip_min_y) {
        xs += dx_left * static_cast<float>(clip_min_y - y_top);
        xe += dx_right * static_cast<float>(clip_min_y - y_top);
        y0 = clip_min_y;
    } else {
        xs += dx_left * (static_cast<float>(y0) - y_top);
        xe += dx_right * (static_cast<float>(y0) - y_top);
    }
    if (y1 > clip_max_y) y1 = clip_max_y;
    for (int32_t y = y0; y <= y1; y++) {
        float l = std::min(xs, xe), r = std::max(xs, xe);
        if (inside)
            fill_span<Pixel>(y, static_cast<int32_t>(l), static_cast<int32_t>(r - l + 1), colour, memory, pitch, true);
        else {
            int32_t li = static_cast<int32_t>(l), ri = static_cast<int32_t>(r);
            fill_span<Pixel>(y, li, ri - li + 1, colour, memory, pitch, false);
        }
        xs += dx_left;
        xe += dx_right;
    }
    return 1;
}

// One flat half: rows y_top to y_bottom, the left edge running from a to c and the right from b
// (nudged right by half a pixel on a flat top) to d.
template <typename Pixel>
static int32_t half_float(float y_top, float y_bottom, float a, float b, float c, float d, float nudge, bool inside,
                          Pixel colour, Pixel *memory, int32_t pitch) {
    float h = y_bottom - y_top;
    if (h <= 0) return 0;
    return walk_float<Pixel>(y_top, y_bottom, a, b + nudge, (c - a) / h, (d - b) / h, inside, colour, memory, pitch);
}

// The flat halves take all three corners for the twins' signature; the flat edge's second y means nothing.
template <typename Pixel>
static int32_t flat_top(float x1, float y1, float x2, float, float x3, float y3, Pixel colour, Pixel *memory,
                        int32_t pitch) {
    if (x2 < x1) std::swap(x1, x2);
    return half_float<Pixel>(y1, y3, x1, x2, x3, x3, 0.5f, xs_inside(x1, x2, x3), colour, memory, pitch);
}

template <typename Pixel>
static int32_t flat_bottom(float x1, float y1, float x2, float y2, float x3, float, Pixel colour, Pixel *memory,
                           int32_t pitch) {
    if (x3 < x2) std::swap(x2, x3);
    return half_float<Pixel>(y1, y2, x1, x1, x2, x3, 0.0f, xs_inside(x1, x2, x3), colour, memory, pitch);
}

int32_t gfx_fill_flat_top_triangle8(float x1, float y1, float x2, float y2, float x3, float y3, uint8_t colour,
                                    uint8_t *memory, int32_t pitch) {
    return flat_top<uint8_t>(x1, y1, x2, y2, x3, y3, colour, memory, pitch);
}

int32_t gfx_fill_flat_bottom_triangle8(float x1, float y1, float x2, float y2, float x3, float y3, uint8_t colour,
                                       uint8_t *memory, int32_t pitch) {
    return flat_bottom<uint8_t>(x1, y1, x2, y2, x3, y3, colour, memory, pitch);
}

int32_t gfx_fill_flat_top_triangle16(float x1, float y1, float x2, float y2, float x3, float y3, uint16_t colour,
                                     uint16_t *memory, int32_t pitch) {
    return flat_top<uint16_t>(x1, y1, x2, y2, x3, y3, colour, memory, pitch);
}

int32_t gfx_fill_flat_bottom_triangle16(float x1, float y1, float x2, float y2, float x3, float y3, uint16_t colour,
                                        uint16_t *memory, int32_t pitch) {
    return flat_bottom<uint16_t>(x1, y1, x2, y2, x3, y3, colour, memory, pitch);
}

// 16.16 fixed-point halves.
static int32_t walk_fixed(int32_t y_top, int32_t y_bottom, int32_t xs, int32_t xe, int32_t dl, int32_t dr,
                          uint8_t colour, uint8_t *memory, int32_t pitch) {
    if (!memory || y_bottom < y_top) return 0;
    if (y_top < clip_min_y) {
        xs += dl * (clip_min_y - y_top);
        xe += dr * (clip_min_y - y_top);
        y_top = clip_min_y;
    }
    if (y_bottom > clip_max_y) y_bottom = clip_max_y;
    for (int32_t y = y_top; y <= y_bottom; y++) {
        int32_t l = std::min(xs, xe), r = std::max(xs, xe);
        int32_t left = (l + 0x8000) >> 16;
        fill_span<uint8_t>(y, left, ((r - l + 0x8000) >> 16) + 1, colour, memory, pitch, false);
        xs += dl;
        xe += dr;
    }
    return 1;
}

// The 16.16 twin of half_float.
static int32_t half_fixed(int32_t y_top, int32_t y_bottom, int32_t a, int32_t b, int32_t c, int32_t d, uint8_t colour,
                          uint8_t *memory, int32_t pitch) {
    int32_t h = y_bottom - y_top;
    if (h <= 0) return 0;
    return walk_fixed(y_top, y_bottom, a << 16, b << 16, ((c - a) << 16) / h, ((d - b) << 16) / h, colour, memory,
                      pitch);
}

int32_t gfx_fill_flat_top_triangle8_fixed(int32_t x1, int32_t y1, int32_t x2, int32_t, int32_t x3, int32_t y3,
                                          uint8_t colour, uint8_t *memory, int32_t pitch) {
    if (x2 < x1) std::swap(x1, x2);
    return half_fixed(y1, y3, x1, x2, x3, x3, colour, memory, pitch);
}

int32_t gfx_fill_flat_bottom_triangle8_fixed(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t,
                                             uint8_t colour, uint8_t *memory, int32_t pitch) {
    if (x3 < x2) std::swap(x2, x3);
    return half_fixed(y1, y2, x1, x1, x2, x3, colour, memory, pitch);
}

// Sorted by y, split at the middle vertex into a flat-bottom upper and a flat-top lower half.
template <typename Pixel, typename Top, typename Bottom>
static int32_t fill_triangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3, Pixel colour,
                             Pixel *memory, int32_t pitch, Top top, Bottom bottom) {
    if (!memory) return 0;
    if ((x1 == x2 && x2 == x3) || (y1 == y2 && y2 == y3)) return 1;
    if ((y1 < clip_min_y && y2 < clip_min_y && y3 < clip_min_y) ||
        (y1 > clip_max_y && y2 > clip_max_y && y3 > clip_max_y) ||
        (x1 < clip_min_x && x2 < clip_min_x && x3 < clip_min_x) ||
        (x1 > clip_max_x && x2 > clip_max_x && x3 > clip_max_x))
        return 1;
    if (y2 < y1) {
        std::swap(x1, x2);
        std::swap(y1, y2);
    }
    if (y3 < y1) {
        std::swap(x1, x3);
        std::swap(y1, y3);
    }
    if (y3 < y2) {
        std::swap(x2, x3);
        std::swap(y2, y3);
    }
    if (y1 == y2) return top(x1, y1, x2, y2, x3, y3, colour, memory, pitch);
    if (y2 == y3) return bottom(x1, y1, x2, y2, x3, y3, colour, memory, pitch);
    int32_t new_x = static_cast<int32_t>(
        static_cast<double>(x1) +
        static_cast<double>(y2 - y1) * static_cast<double>(x3 - x1) / static_cast<double>(y3 - y1) + 0.5);
    bottom(x1, y1, new_x, y2, x2, y2, colour, memory, pitch);
    top(x2, y2, new_x, y2, x3, y3, colour, memory, pitch);
    return 1;
}

int32_t gfx_fill_triangle8(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3, uint8_t colour,
                           uint8_t *memory, int32_t pitch) {
    return fill_triangle<uint8_t>(x1, y1, x2, y2, x3, y3, colour, memory, pitch, flat_top<uint8_t>,
                                  flat_bottom<uint8_t>);
}

int32_t gfx_fill_triangle8_fixed(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3, uint8_t colour,
                                 uint8_t *memory, int32_t pitch) {
    return fill_triangle<uint8_t>(x1, y1, x2, y2, x3, y3, colour, memory, pitch, gfx_fill_flat_top_triangle8_fixed,
                                  gfx_fill_flat_bottom_triangle8_fixed);
}

int32_t gfx_fill_triangle16(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3, uint16_t colour,
                            uint16_t *memory, int32_t pitch) {
    return fill_triangle<uint16_t>(x1, y1, x2, y2, x3, y3, colour, memory, pitch, flat_top<uint16_t>,
                                   flat_bottom<uint16_t>);
}

// Convex polygon: each row between the leftmost and rightmost edge crossing.
template <typename Pixel>
static int32_t fill_convex(const PolygonShape *p, Pixel *memory, int32_t pitch) {
    if (!polygon_drawable(p) || !memory || p->vertex_count < 3) return 0;
    int n = p->vertex_count;
    auto vx = [&](int i) { return static_cast<int32_t>(static_cast<float>(p->x) + p->vertices[i].x); };
    auto vy = [&](int i) { return static_cast<int32_t>(static_cast<float>(p->y) + p->vertices[i].y); };
    int32_t top = vy(0), bottom = vy(0);
    for (int i = 1; i < n; i++) {
        top = std::min(top, vy(i));
        bottom = std::max(bottom, vy(i));
    }
    top = std::max(top, clip_min_y);
    bottom = std::min(bottom, clip_max_y);
    for (int32_t y = top; y <= bottom; y++) {
        int32_t left = INT32_MAX, right = INT32_MIN;
        for (int i = 0; i < n; i++) {
            int j = (i + 1) % n;
            int32_t ya = vy(i), yb = vy(j), xa = vx(i), xb = vx(j);
            if (y < std::min(ya, yb) || y > std::max(ya, yb)) continue;
            int32_t x = ya == yb ? xa : xa + static_cast<int32_t>(static_cast<int64_t>(y - ya) * (xb - xa) / (yb - ya));
            left = std::min({left, x, ya == yb ? xb : x});
            right = std::max({right, x, ya == yb ? xb : x});
        }
        if (left <= right) fill_span<Pixel>(y, left, right - left + 1, (Pixel)p->colour, memory, pitch, false);
    }
    return 1;
}

int32_t gfx_fill_polygon8(const PolygonShape *polygon, uint8_t *memory, int32_t pitch) {
    return fill_convex<uint8_t>(polygon, memory, pitch);
}

int32_t gfx_fill_polygon16(const PolygonShape *polygon, uint16_t *memory, int32_t pitch) {
    return fill_convex<uint16_t>(polygon, memory, pitch);
}

// ---- estimates and tests ------------------------------------------------------------

int32_t gfx_approx_distance2(int32_t dx, int32_t dy) {
    int32_t a = std::abs(dx), b = std::abs(dy), m = std::min(a, b);
    return a + b - (m >> 1) - (m >> 2) + (m >> 4);
}

float gfx_approx_distance3(float x, float y, float z) {
    int32_t v[3] = {static_cast<int32_t>(std::fabs(x) * 1024), static_cast<int32_t>(std::fabs(y) * 1024),
                    static_cast<int32_t>(std::fabs(z) * 1024)};
    std::sort(v, v + 3);
    return static_cast<float>((v[2] + 11 * (v[1] >> 5) + (v[0] >> 2)) >> 10);
}

int32_t gfx_boxes_overlap(int32_t x1, int32_t y1, int32_t w1, int32_t h1, int32_t x2, int32_t y2, int32_t w2,
                          int32_t h2) {
    auto s = [](int32_t w) { return (w >> 1) - (w >> 3); };
    return std::abs((x2 + s(w2)) - (x1 + s(w1))) < s(w1) + s(w2) &&
                   std::abs((y2 + s(h2)) - (y1 + s(h1))) < s(h1) + s(h2)
               ? 1
               : 0;
}

template <typename Pixel, typename Match>
static int32_t scan_rect(int32_t x1, int32_t y1, int32_t x2, int32_t y2, const Pixel *memory, int32_t pitch,
                         Match match) {
    if (!memory || screen_width <= 0 || screen_height <= 0) return 0;
    x1 = std::clamp(x1, 0, screen_width - 1);
    x2 = std::clamp(x2, 0, screen_width - 1);
    y1 = std::clamp(y1, 0, screen_height - 1);
    y2 = std::clamp(y2, 0, screen_height - 1);
    for (int32_t y = y1; y <= y2; y++) {
        const Pixel *row = reinterpret_cast<const Pixel *>(reinterpret_cast<const uint8_t *>(memory) +
                                                           static_cast<size_t>(y) * static_cast<size_t>(pitch));
        for (int32_t x = x1; x <= x2; x++)
            if (match(row[x])) return 1;
    }
    return 0;
}

int32_t gfx_rect_has_colour8(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint8_t low, uint8_t high,
                             const uint8_t *memory, int32_t pitch) {
    return scan_rect<uint8_t>(x1, y1, x2, y2, memory, pitch, [&](uint8_t v) { return v >= low && v <= high; });
}

int32_t gfx_rect_has_colour16(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint16_t colour_a, uint16_t colour_b,
                              const uint16_t *memory, int32_t pitch) {
    return scan_rect<uint16_t>(x1, y1, x2, y2, memory, pitch,
                               [&](uint16_t v) { return v == colour_a || v == colour_b; });
}

int32_t gfx_bitmap_cell_to_surface(const BmpFile *bitmap, PlatSurface *surface, int32_t cx, int32_t cy) {
    if (!surface) return 0;
    int32_t pitch = 0;
    uint8_t *memory = plat_surface_lock(surface, &pitch);
    int32_t copied = gfx_bmp_copy_cell(bitmap, cx * (surface->width + 1) + 1, cy * (surface->height + 1) + 1,
                                       surface->width, surface->height, surface->bpp / 8, memory, pitch);
    plat_surface_unlock(surface);
    return copied;
}
