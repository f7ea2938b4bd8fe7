// Headless video: real surfaces and palette, every presented frame captured.
#include <cstring>
#include <vector>

#include "platform/headless/headless_internal.h"
#include "platform/plat_file.h"
#include "platform/plat_headless.h"
#include "platform/plat_internal.h"

static int32_t display_open = 0;
static int32_t frame_count = 0;
static int32_t frame_w = 0, frame_h = 0;
static std::vector<uint8_t> frame_indices; // 8-bit frames
static std::vector<uint16_t> frame_words;  // 16-bit frames (5.6.5)
static int32_t frame_bpp = 8;
static void (*present_hook)(void) = nullptr;
static PlatColor shown_palette[256];
static int present_was_shown = 0;

void plat_headless_video_reset(void) {
    frame_count = 0;
    frame_w = frame_h = 0;
    frame_indices.clear();
    frame_words.clear();
    present_hook = nullptr;
    present_was_shown = 0;
    plat_palette_reset();
}

int plat_display_open(int32_t width, int32_t height, int32_t bpp) {
    if (!plat_display_mode_ok(width, height, bpp)) return 0;
    display_open = 1;
    return 1;
}

void plat_display_close(void) {
    display_open = 0;
    present_was_shown = 0;
}
void plat_backend_palette_changed(void) {}

int plat_present(PlatSurface *back) {
    if (!display_open || !back || back->locked || plat_blind) return 0;
    // Compared like the window's own present, so callers see the same answer here.
    bool same_mode = frame_count && frame_w == back->width && frame_h == back->height && frame_bpp == back->bpp;
    bool same = same_mode && std::memcmp(shown_palette, plat_palette_data(), sizeof shown_palette) == 0;
    frame_w = back->width;
    frame_h = back->height;
    frame_bpp = back->bpp;
    size_t row = static_cast<size_t>(frame_w) * (back->bpp / 8);
    uint8_t *frame;
    if (back->bpp == 8) {
        frame_indices.resize(static_cast<size_t>(frame_w) * frame_h);
        frame = frame_indices.data();
    } else {
        frame_words.resize(static_cast<size_t>(frame_w) * frame_h);
        frame = reinterpret_cast<uint8_t *>(frame_words.data());
    }
    for (int32_t y = 0; y < frame_h; y++) {
        const uint8_t *src = back->pixels.data() + static_cast<size_t>(y) * back->pitch;
        uint8_t *dst = frame + static_cast<size_t>(y) * row;
        if (same && std::memcmp(dst, src, row) != 0) same = false;
        if (!same) std::memcpy(dst, src, row);
    }
    std::memcpy(shown_palette, plat_palette_data(), sizeof shown_palette);
    present_was_shown = same ? 1 : 0;
    frame_count++;
    if (present_hook) present_hook();
    return 1;
}

int plat_present_was_shown(void) { return present_was_shown; }

int32_t plat_headless_frame_count(void) { return frame_count; }
void plat_headless_on_present(void (*hook)(void)) { present_hook = hook; }
const uint8_t *plat_headless_frame_pixels(void) {
    return frame_count && frame_bpp == 8 ? frame_indices.data() : nullptr;
}
int32_t plat_headless_frame_width(void) { return frame_w; }
int32_t plat_headless_frame_height(void) { return frame_h; }
const PlatColor *plat_headless_frame_palette(void) { return plat_palette_data(); }

uint32_t plat_headless_frame_rgb(int32_t x, int32_t y) {
    if (!frame_count || x < 0 || y < 0 || x >= frame_w || y >= frame_h) return 0;
    size_t i = static_cast<size_t>(y) * frame_w + x;
    if (frame_bpp == 8) {
        const PlatColor &c = plat_palette_data()[frame_indices[i]];
        return (static_cast<uint32_t>(c.r) << 16) | (static_cast<uint32_t>(c.g) << 8) | c.b;
    }
    return plat_rgb565_expand(frame_words[i]);
}

int plat_headless_save_bmp(const char *path) {
    if (!frame_count || frame_bpp != 8) return 0;
    return plat_write_bmp8(path, frame_w, frame_h, frame_indices.data(), frame_w, plat_palette_data());
}
