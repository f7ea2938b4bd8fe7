// Pixels, clipped lines and rectangle fills.
#include "gfx/line.h"

#include <climits>
#include <cstddef>

#include "gfx/display.h"

namespace {

// 32-bit wrapping arithmetic: the clipper works on signed 32-bit values and
// must not trip over overflow on absurd coordinates.
int32_t wrap_add(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
int32_t wrap_sub(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
int32_t wrap_mul(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}
int32_t wrap_div(int32_t a, int32_t b) {
    if (b == 0) return 0;
    if (b == -1) return wrap_sub(0, a);
    return a / b;
}

int32_t region_code(int32_t x, int32_t y) {
    int32_t code = 0;
    if (y < clip_min_y)
        code |= CLIP_CODE_ABOVE;
    else if (y > clip_max_y)
        code |= CLIP_CODE_BELOW;
    if (x < clip_min_x)
        code |= CLIP_CODE_LEFT;
    else if (x > clip_max_x)
        code |= CLIP_CODE_RIGHT;
    return code;
}

// The rounded sum: the real value coord + q + 0.5 truncated toward zero.
int32_t rounded_sum(int32_t coord, int32_t q) {
    int32_t s = wrap_add(coord, q);
    return s >= 0 ? s : wrap_add(s, 1);
}

// Moves the end (x, y) onto the clip edge named by code, with (xo, yo) the other end.
void clip_end(int32_t code, int32_t x, int32_t y, int32_t xo, int32_t yo, bool round_single, int32_t *out_x,
              int32_t *out_y) {
    auto sum = [](int32_t c, int32_t q, bool round) { return round ? rounded_sum(c, q) : wrap_add(c, q); };
    auto horizontal_edge = [&](int32_t edge, bool round, int32_t *nx, int32_t *ny) {
        *ny = edge;
        *nx = sum(x, wrap_div(wrap_mul(wrap_sub(edge, y), wrap_sub(xo, x)), wrap_sub(yo, y)), round);
    };
    auto vertical_edge = [&](int32_t edge, bool round, int32_t *nx, int32_t *ny) {
        *nx = edge;
        *ny = sum(y, wrap_div(wrap_mul(wrap_sub(edge, x), wrap_sub(yo, y)), wrap_sub(xo, x)), round);
    };
    int32_t nx = x, ny = y;
    switch (code) {
    case CLIP_CODE_ABOVE: horizontal_edge(clip_min_y, round_single, &nx, &ny); break;
    case CLIP_CODE_BELOW: horizontal_edge(clip_max_y, round_single, &nx, &ny); break;
    case CLIP_CODE_LEFT: vertical_edge(clip_min_x, round_single, &nx, &ny); break;
    case CLIP_CODE_RIGHT: vertical_edge(clip_max_x, round_single, &nx, &ny); break;
    case CLIP_CODE_ABOVE | CLIP_CODE_LEFT:
    case CLIP_CODE_ABOVE | CLIP_CODE_RIGHT:
    case CLIP_CODE_BELOW | CLIP_CODE_LEFT:
    case CLIP_CODE_BELOW | CLIP_CODE_RIGHT: {
        // Corners always round; the horizontal edge is tried first.
        horizontal_edge((code & CLIP_CODE_ABOVE) ? clip_min_y : clip_max_y, true, &nx, &ny);
        if (nx < clip_min_x || nx > clip_max_x)
            vertical_edge((code & CLIP_CODE_LEFT) ? clip_min_x : clip_max_x, true, &nx, &ny);
        break;
    }
    default: break;
    }
    *out_x = nx;
    *out_y = ny;
}

bool inside(int32_t x, int32_t y) { return x >= clip_min_x && x <= clip_max_x && y >= clip_min_y && y <= clip_max_y; }

template <typename Pixel>
void bresenham(int32_t x0, int32_t y0, int32_t x1, int32_t y1, Pixel colour, Pixel *start, int32_t row_step) {
    // 64-bit terms: the error stays exact even for lines longer than the screen.
    int64_t dx = static_cast<int64_t>(x1) - x0, dy = static_cast<int64_t>(y1) - y0;
    ptrdiff_t x_step = 1, y_step = row_step;
    if (dx < 0) {
        dx = -dx;
        x_step = -1;
    }
    if (dy < 0) {
        dy = -dy;
        y_step = -y_step;
    }
    Pixel *p = start + static_cast<ptrdiff_t>(y0) * row_step + x0;
    if (dx > dy) {
        int64_t error = 2 * dy - dx;
        for (int64_t i = 0; i <= dx; i++) {
            *p = colour;
            if (error >= 0) {
                p += y_step;
                error -= 2 * dx;
            }
            p += x_step;
            error += 2 * dy;
        }
    } else {
        int64_t error = 2 * dx - dy;
        for (int64_t i = 0; i <= dy; i++) {
            *p = colour;
            if (error >= 0) {
                p += x_step;
                error -= 2 * dy;
            }
            p += y_step;
            error += 2 * dx;
        }
    }
}

} // namespace

int32_t gfx_plot_pixel8(int32_t x, int32_t y, uint8_t colour, uint8_t *memory, int32_t pitch) {
    memory[x + static_cast<ptrdiff_t>(y) * pitch] = colour;
    return 1;
}

int32_t gfx_plot_pixel16(int32_t x, int32_t y, uint16_t colour, uint16_t *memory, int32_t pitch) {
    memory[x + static_cast<ptrdiff_t>(y) * (pitch >> 1)] = colour;
    return 1;
}

int32_t gfx_clip_line(int32_t *x0, int32_t *y0, int32_t *x1, int32_t *y1) {
    int32_t c0 = region_code(*x0, *y0), c1 = region_code(*x1, *y1);
    if (c0 & c1) return 0;
    if (c0 == 0 && c1 == 0) return 1;
    int32_t nx0 = *x0, ny0 = *y0, nx1 = *x1, ny1 = *y1;
    // Both ends are computed from the line as passed in.
    if (c0) clip_end(c0, *x0, *y0, *x1, *y1, true, &nx0, &ny0);
    if (c1) clip_end(c1, *x1, *y1, *x0, *y0, false, &nx1, &ny1);
    if (!inside(nx0, ny0) || !inside(nx1, ny1)) return 0;
    *x0 = nx0;
    *y0 = ny0;
    *x1 = nx1;
    *y1 = ny1;
    return 1;
}

int32_t gfx_draw_line8(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint8_t colour, uint8_t *memory, int32_t pitch) {
    bresenham<uint8_t>(x0, y0, x1, y1, colour, memory, pitch);
    return 1;
}

int32_t gfx_draw_line16(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint16_t colour, uint16_t *memory,
                        int32_t pitch) {
    bresenham<uint16_t>(x0, y0, x1, y1, colour, memory, pitch >> 1);
    return 1;
}

int32_t gfx_draw_clipped_line8(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint8_t colour, uint8_t *memory,
                               int32_t pitch) {
    if (gfx_clip_line(&x0, &y0, &x1, &y1)) gfx_draw_line8(x0, y0, x1, y1, colour, memory, pitch);
    return 1;
}

int32_t gfx_draw_clipped_line16(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint16_t colour, uint16_t *memory,
                                int32_t pitch) {
    if (gfx_clip_line(&x0, &y0, &x1, &y1)) gfx_draw_line16(x0, y0, x1, y1, colour, memory, pitch);
    return 1;
}

int32_t gfx_fill_rect_blit(int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t colour,
                           PlatSurface *dest) {
    PlatRect rect{left, top, right, bottom};
    plat_surface_fill(dest, &rect, colour);
    return 1;
}
