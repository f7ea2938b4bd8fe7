// Surfaces, palette, presenting and text. Surfaces are plain memory in both
// backends; only presenting differs.
#pragma once
#include <cstdint>
#include <vector>

// Same byte layout as the library's PaletteEntry: red, green, blue, flags.
struct PlatColor {
    uint8_t r, g, b, flags;
};

// 16-bit surfaces hold 5:6:5 words: the top 5, 6 and 5 bits of red, green and blue (0 to 255).
constexpr uint32_t plat_rgb565(int32_t red, int32_t green, int32_t blue) {
    return ((red >> 3) & 31) * 2048 + ((green >> 2) & 63) * 32 + ((blue >> 3) & 31);
}
// 0x00RRGGBB of a 5:6:5 word, each channel stretched back to 0..255.
constexpr uint32_t plat_rgb565_expand(uint32_t word) {
    uint32_t r = (word >> 11) & 31, g = (word >> 5) & 63, b = word & 31;
    return ((r * 255 / 31) << 16) | ((g * 255 / 63) << 8) | (b * 255 / 31);
}

// Right and bottom are exclusive.
struct PlatRect {
    int32_t left, top, right, bottom;
};

struct PlatSurface {
    int32_t width;
    int32_t height;
    int32_t bpp;                 // 8 or 16
    int32_t pitch;               // bytes per row, >= width * bpp / 8
    std::vector<uint8_t> pixels; // pitch * height bytes
    int32_t locked;
    int32_t key_enabled;
    uint32_t key_lo, key_hi; // source colour key range, inclusive
    int32_t clip_enabled;
    std::vector<PlatRect> clip; // fills and blits onto this surface are cut to these
    uint32_t writes;            // bumped by every platform call that may change the pixels
};

// Display init: renderer and texture on the open window; 0 and plat_error on failure.
int plat_display_open(int32_t width, int32_t height, int32_t bpp);
// Display shutdown.
void plat_display_close(void);

// Display init (back buffer) and sprites (frames); null on bad size or depth.
PlatSurface *plat_surface_create(int32_t width, int32_t height, int32_t bpp);
// Owners at destroy/shutdown; null is ignored.
void plat_surface_release(PlatSurface *surface);
// Tests: surfaces created and not yet released.
int32_t plat_surface_live_count(void);
// Lockers: top line's address (pitch through the pointer); null for a null surface.
uint8_t *plat_surface_lock(PlatSurface *surface, int32_t *pitch);
// Lockers; 0 for a null surface.
int plat_surface_unlock(PlatSurface *surface);
// Surface/sprite creation: source pixels in [lo, hi] are skipped by keyed blits.
void plat_surface_set_color_key(PlatSurface *surface, uint32_t lo, uint32_t hi);
// Clipper attach: count 0 or null rects removes clipping (surface bounds still apply).
int plat_surface_set_clip_list(PlatSurface *surface, const PlatRect *rects, int32_t count);
// Colour fills: rect null = whole surface; clipped; 8-bit takes the low byte, 16-bit the low word.
int plat_surface_fill(PlatSurface *surface, const PlatRect *rect, uint32_t colour);
// Sprite draws: stretched copy src_rect -> dst_rect (nearest), clipped by dst's list;
// 0 on null, locked or depth-mismatched surfaces.
int plat_surface_blit(PlatSurface *dst, const PlatRect *dst_rect, PlatSurface *src, const PlatRect *src_rect,
                      int32_t keyed);

// Palette module: changes shown colours at once (re-presents the last frame).
int plat_palette_set(int32_t first, int32_t count, const PlatColor *colours);
// Palette rotation reads the device entries back.
int plat_palette_get(int32_t first, int32_t count, PlatColor *out);
// Text: index of the device entry nearest to 0x00BBGGRR.
int plat_palette_nearest(uint32_t colorref);

// Flip: shows an 8-bit (through the palette) or 16-bit (5.6.5) surface; 0 if locked.
int plat_present(PlatSurface *back);
// 1 when the last successful plat_present found that very frame (pixels and palette) already shown.
int plat_present_was_shown(void);

// Text drawing: glyphs only, top-left at (x, y), nearest palette entry; 0 while locked or
// without a font; empty text draws nothing and succeeds.
int plat_draw_text(PlatSurface *surface, const char *text, int32_t x, int32_t y, uint32_t colorref);
// Layout checks in tests: width in pixels of text in the game font, -1 without a font.
int plat_text_width(const char *text);
// The game font's file (text here, the title in the asset generator): DejaVu Sans Condensed Bold
// where Debian puts it, else where fontconfig has it.
const char *plat_font_file(void);
