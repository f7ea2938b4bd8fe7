// Full-screen transitions: palette fades and black wipes, paced at 12 ms a step.
#include "gfx/transition.h"

#include <algorithm>
#include <cstddef>

#include "gfx/clock.h"
#include "gfx/display.h"
#include "gfx/line.h"
#include "gfx/palette.h"
#include "platform/plat_system.h"

namespace {

constexpr uint32_t STEP_MS = 12;

uint8_t darken(uint8_t v) { return v > 4 ? static_cast<uint8_t>(v - 3) : 0; }
uint8_t raise(uint8_t v, int amount) { return v + amount >= 255 ? 255 : static_cast<uint8_t>(v + amount); }
uint8_t lower(uint8_t v) { return v < 4 ? 0 : static_cast<uint8_t>(v - 4); }

void wait_step(void) {
    gfx_clock_start();
    gfx_clock_wait(STEP_MS);
}

void fade(uint32_t effect) {
    PaletteEntry work[256];
    int steps = effect == TRANSITION_FADE_BLACK ? 80 : 64;
    for (int step = 0; step < steps; step++) {
        gfx_palette_get_all(work);
        for (int i = 0; i < 256; i++) {
            PaletteEntry &e = work[i];
            switch (effect) {
            case TRANSITION_FADE_BLACK:
                if (i == 0) break;
                e.red = darken(e.red);
                e.green = darken(e.green);
                e.blue = darken(e.blue);
                break;
            case TRANSITION_FADE_WHITE:
                e.red = raise(e.red, 4);
                e.green = raise(e.green, 4);
                e.blue = raise(e.blue, 4);
                break;
            case TRANSITION_FADE_BLUE:
                e.red = lower(e.red);
                e.green = lower(e.green);
                e.blue = raise(e.blue, 6);
                break;
            case TRANSITION_FADE_RED:
                e.red = raise(e.red, 6);
                e.green = lower(e.green);
                e.blue = lower(e.blue);
                break;
            case TRANSITION_FADE_GREEN:
                e.red = lower(e.red);
                e.green = raise(e.green, 6);
                e.blue = lower(e.blue);
                break;
            }
        }
        gfx_palette_set_all(work);
        wait_step();
    }
}

// The black lines of the closing wipes at the display's depth; other depths and
// missing memory draw nothing.
void black_hline(int32_t y, uint8_t *memory, int32_t pitch) {
    if (!memory) return;
    if (screen_bpp == 8)
        gfx_draw_hline8(0, screen_width - 1, y, 0, memory, pitch);
    else if (screen_bpp == 16)
        gfx_draw_hline16(0, screen_width - 1, y, 0, reinterpret_cast<uint16_t *>(memory), pitch);
}

void black_vline(int32_t x, uint8_t *memory, int32_t pitch) {
    if (!memory) return;
    if (screen_bpp == 8)
        gfx_draw_vline8(0, screen_height - 1, x, 0, memory, pitch);
    else if (screen_bpp == 16)
        gfx_draw_vline16(0, screen_height - 1, x, 0, reinterpret_cast<uint16_t *>(memory), pitch);
}

void close_sides(int32_t i, uint8_t *memory, int32_t pitch) {
    black_vline(screen_width - 1 - i, memory, pitch);
    black_vline(i, memory, pitch);
    black_vline(screen_width - 2 - i, memory, pitch);
    black_vline(i + 1, memory, pitch);
}

void close_top_bottom(int32_t j, uint8_t *memory, int32_t pitch) {
    black_hline(screen_height - 1 - j, memory, pitch);
    black_hline(j, memory, pitch);
    black_hline(screen_height - 2 - j, memory, pitch);
    black_hline(j + 1, memory, pitch);
}

void dissolve(uint8_t *memory, int32_t pitch) {
    if (!memory || screen_width <= 0 || screen_height <= 0 || (screen_bpp != 8 && screen_bpp != 16)) return;
    int64_t count = static_cast<int64_t>(screen_width) * screen_height * 4 + 1;
    for (int64_t n = 0; n < count; n++) {
        int32_t y = plat_rand() % screen_height;
        int32_t x = plat_rand() % screen_width;
        if (screen_bpp == 8)
            gfx_plot_pixel8(x, y, 0, memory, pitch);
        else
            gfx_plot_pixel16(x, y, 0, reinterpret_cast<uint16_t *>(memory), pitch);
    }
}

} // namespace

void gfx_screen_transition(uint32_t effect, uint8_t *memory, int32_t pitch) {
    switch (effect) {
    case TRANSITION_FADE_BLACK:
    case TRANSITION_FADE_WHITE:
    case TRANSITION_FADE_BLUE:
    case TRANSITION_FADE_RED:
    case TRANSITION_FADE_GREEN: fade(effect); break;
    case TRANSITION_CLOSE_SIDES:
        for (int32_t i = 0; i < screen_width / 2; i += 2) {
            wait_step();
            close_sides(i, memory, pitch);
        }
        break;
    case TRANSITION_CLOSE_TOP_BOTTOM:
        for (int32_t i = 0; i < screen_height / 2; i += 2) {
            wait_step();
            close_top_bottom(i, memory, pitch);
        }
        break;
    case TRANSITION_CLOSE_ALL: {
        int32_t half_h = screen_height / 2;
        for (int32_t i = 0; i < screen_width / 2; i += 2) {
            wait_step();
            close_top_bottom(half_h > 0 ? i % half_h : 0, memory, pitch);
            close_sides(i, memory, pitch);
        }
        break;
    }
    case TRANSITION_DISSOLVE: dissolve(memory, pitch); break;
    default: break;
    }
}

// Orders the ends of a span and cuts it to [lo, hi]; false when nothing of it is left.
static bool clip_span(int32_t &a, int32_t &b, int32_t lo, int32_t hi) {
    if (a > b) std::swap(a, b);
    if (a > hi || b < lo) return false;
    a = std::max(a, lo);
    b = std::min(b, hi);
    return true;
}

void gfx_draw_hline8(int32_t x1, int32_t x2, int32_t y, uint8_t colour, uint8_t *memory, int32_t pitch) {
    if (!memory || y < clip_min_y || y > clip_max_y || !clip_span(x1, x2, clip_min_x, clip_max_x)) return;
    uint8_t *p = memory + static_cast<ptrdiff_t>(y) * pitch + x1;
    for (int32_t n = x2 - x1 + 1; n > 0; n--) *p++ = colour;
}

void gfx_draw_vline8(int32_t y1, int32_t y2, int32_t x, uint8_t colour, uint8_t *memory, int32_t pitch) {
    if (!memory || x < clip_min_x || x > clip_max_x || !clip_span(y1, y2, clip_min_y, clip_max_y)) return;
    uint8_t *p = memory + static_cast<ptrdiff_t>(y1) * pitch + x;
    for (int32_t n = y2 - y1 + 1; n > 0; n--, p += pitch) *p = colour;
}

void gfx_draw_hline16(int32_t x1, int32_t x2, int32_t y, uint16_t colour, uint16_t *memory, int32_t pitch) {
    if (!memory || y < clip_min_y || y > clip_max_y || !clip_span(x1, x2, clip_min_x, clip_max_x)) return;
    gfx_fill_words16(memory + static_cast<ptrdiff_t>(y) * (pitch >> 1) + x1, colour, x2 - x1 + 1);
}

void gfx_draw_vline16(int32_t y1, int32_t y2, int32_t x, uint16_t colour, uint16_t *memory, int32_t pitch) {
    if (!memory || x < clip_min_x || x > clip_max_x || !clip_span(y1, y2, clip_min_y, clip_max_y)) return;
    int32_t step = pitch & ~1;
    uint8_t *p =
        reinterpret_cast<uint8_t *>(memory) + static_cast<ptrdiff_t>(y1) * step + 2 * static_cast<ptrdiff_t>(x);
    for (int32_t n = y2 - y1 + 1; n > 0; n--, p += step) *reinterpret_cast<uint16_t *>(p) = colour;
}

void gfx_fill_words16(uint16_t *dest, uint16_t value, int32_t count) {
    if (!dest) return;
    for (int32_t n = 0; n < count; n++) dest[n] = value;
}
