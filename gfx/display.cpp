// Display device: the screen-sized back surface the game draws into, a copy of
// what was shown last, cached locks, clip lists, fills and the flip.
#include "gfx/display.h"

#include <cstring>

#include "gfx/palette.h"
#include "gfx/text.h"
#include "platform/plat_system.h"

int32_t display_started = 0;
PlatSurface *primary_surface = nullptr;
PlatSurface *back_surface = nullptr;
int32_t display_palette = 0;
GfxClipper *back_clipper = nullptr;
GfxClipper *window_clipper = nullptr;
int32_t screen_width = 0, screen_height = 0, screen_bpp = 0, screen_windowed = 0;
int32_t pixel_format = 0;
GfxRgb16Builder gfx_rgb16 = gfx_rgb16_565;
int32_t clip_min_x = 0, clip_max_x = 0, clip_min_y = 0, clip_max_y = 0;
uint8_t *primary_buffer = nullptr;
int32_t primary_pitch = 0;
uint8_t *back_buffer = nullptr;
int32_t back_pitch = 0;
int32_t window_offset_x = 0, window_offset_y = 0;

namespace {

// A lost display would otherwise keep a full-screen flip retrying for ever.
constexpr int FLIP_ATTEMPTS = 3;

// The primary and its write count at the last copy into it.
const PlatSurface *kept_primary = nullptr;
uint32_t kept_primary_writes = 0;

void reset_state(void) {
    display_started = 0;
    primary_surface = nullptr;
    back_surface = nullptr;
    display_palette = 0;
    back_clipper = nullptr;
    window_clipper = nullptr;
    screen_width = screen_height = screen_bpp = screen_windowed = 0;
    pixel_format = 0;
    gfx_rgb16 = gfx_rgb16_565;
    clip_min_x = clip_max_x = clip_min_y = clip_max_y = 0;
    primary_buffer = nullptr;
    primary_pitch = 0;
    back_buffer = nullptr;
    back_pitch = 0;
    window_offset_x = window_offset_y = 0;
    kept_primary = nullptr;
}

// The primary keeps what the player sees: a copy of the back surface at each flip. A menu
// flips the same frame over and over; when the window already showed it and nothing drew on
// the primary since the last copy, the primary holds it already.
void keep_shown_frame(void) {
    if (!primary_surface || !back_surface || primary_surface->pixels.size() != back_surface->pixels.size()) return;
    if (plat_present_was_shown() && kept_primary == primary_surface && kept_primary_writes == primary_surface->writes)
        return;
    std::memcpy(primary_surface->pixels.data(), back_surface->pixels.data(), back_surface->pixels.size());
    kept_primary = primary_surface;
    kept_primary_writes = primary_surface->writes;
}

} // namespace

int32_t gfx_display_init(int32_t width, int32_t height, int32_t bpp, int32_t windowed, const char *palette_file) {
    if (display_started) gfx_display_shutdown();
    if (!plat_display_open(width, height, bpp)) return 0;
    display_started = 1;
    // The full-screen set-up takes the window as it was opened: full screen, or a window when the
    // player asked for one (--window); Alt+Enter changes it later. A windowed set-up needs a window.
    if (windowed && plat_window_is_open()) plat_window_set_fullscreen(0);

    screen_width = width;
    screen_height = height;
    screen_bpp = bpp;
    screen_windowed = windowed;

    primary_surface = plat_surface_create(width, height, bpp);
    if (!primary_surface) return 0;

    // Surfaces here are 8 or 16 bits, never 15: the builder is always the 5.6.5 one.
    pixel_format = primary_surface->bpp;
    gfx_log_write("\npixel format = %d", pixel_format);
    gfx_rgb16 = gfx_rgb16_565;
    gfx_log_write("\npixel format = 5.6.5");

    if (windowed)
        back_surface = gfx_create_surface(width, height, 0, 0);
    else
        back_surface = plat_surface_create(width, height, bpp);
    if (!back_surface) return 0;

    if (bpp == 8) {
        std::memset(palette_shadow, 0, sizeof palette_shadow);
        gfx_palette_load_file(palette_file, palette_shadow);
        if (windowed) {
            for (int i = 0; i < 10; i++) palette_shadow[i].flags = PC_EXPLICIT;
            for (int i = 246; i < 256; i++) palette_shadow[i].flags = PC_EXPLICIT;
        }
        if (!plat_palette_set(0, 256, reinterpret_cast<const PlatColor *>(palette_shadow))) return 0;
        display_palette = 1;
    }

    if (!windowed) gfx_fill_surface(primary_surface, 0, nullptr);
    gfx_fill_surface(back_surface, 0, nullptr);

    clip_min_x = 0;
    clip_max_x = screen_width - 1;
    clip_min_y = 0;
    clip_max_y = screen_height - 1;

    PlatRect screen{0, 0, screen_width, screen_height};
    back_clipper = gfx_attach_clipper(back_surface, 1, &screen);

    if (windowed) {
        // The window shows the screen rectangle of the primary and nothing beyond it.
        window_clipper = gfx_attach_clipper(primary_surface, 1, &screen);
        if (!window_clipper) return 0;
    }
    return 1;
}

int32_t gfx_display_shutdown(void) {
    gfx_release_clipper(back_clipper);
    gfx_release_clipper(window_clipper);
    back_clipper = window_clipper = nullptr;
    display_palette = 0;
    plat_surface_release(back_surface);
    plat_surface_release(primary_surface);
    if (display_started) plat_display_close();
    reset_state();
    return 1;
}

PlatSurface *gfx_create_surface(int32_t width, int32_t height, uint32_t caps, uint32_t colour_key) {
    (void)caps; // every surface is plain memory here
    if (!display_started) return nullptr;
    PlatSurface *s = plat_surface_create(width, height, screen_bpp);
    if (!s) return nullptr;
    plat_surface_set_color_key(s, colour_key & 0xFFFF, colour_key & 0xFFFF);
    return s;
}

GfxClipper *gfx_attach_clipper(PlatSurface *surface, int32_t count, const PlatRect *rects) {
    if (!display_started || !surface || count < 0 || (count > 0 && !rects)) return nullptr;
    GfxClipper *c = new GfxClipper();
    c->surface = surface;
    c->count = count;
    c->bound = PlatRect{CLIP_BOUND_INIT, CLIP_BOUND_INIT, -CLIP_BOUND_INIT, -CLIP_BOUND_INIT};
    c->rects = count > 0 ? new PlatRect[count] : nullptr;
    for (int32_t i = 0; i < count; i++) {
        const PlatRect &r = rects[i];
        c->rects[i] = r;
        if (r.left < c->bound.left) c->bound.left = r.left;
        if (r.top < c->bound.top) c->bound.top = r.top;
        if (r.right > c->bound.right) c->bound.right = r.right;
        if (r.bottom > c->bound.bottom) c->bound.bottom = r.bottom;
    }
    if (!plat_surface_set_clip_list(surface, c->rects, count)) {
        gfx_release_clipper(c);
        return nullptr;
    }
    return c;
}

void gfx_release_clipper(GfxClipper *clipper) {
    if (!clipper) return;
    delete[] clipper->rects;
    delete clipper;
}

int32_t gfx_flip(void) {
    if (!display_started || !back_surface) return 0;
    if (primary_buffer || back_buffer) return 0;
    int attempts = screen_windowed ? 1 : FLIP_ATTEMPTS;
    for (int n = 0; n < attempts; n++) {
        if (plat_present(back_surface)) {
            keep_shown_frame();
            return 1;
        }
    }
    return 0;
}

int32_t gfx_wait_vblank(void) { return 1; }

int32_t gfx_buffer_rows(const uint8_t *memory, int32_t pitch) {
    const auto at = reinterpret_cast<uintptr_t>(memory);
    for (const PlatSurface *s : {back_surface, primary_surface}) {
        if (!s || s->pixels.empty() || pitch <= 0) continue;
        const auto first = reinterpret_cast<uintptr_t>(s->pixels.data());
        if (at >= first && at < first + s->pixels.size())
            return static_cast<int32_t>((first + s->pixels.size() - at) / static_cast<uint32_t>(pitch));
    }
    return INT32_MAX;
}

int32_t gfx_fill_surface(PlatSurface *surface, uint32_t colour, const PlatRect *rect) {
    if (display_started && surface) plat_surface_fill(surface, rect, colour & 0xFFFF);
    return 1;
}

uint8_t *gfx_lock_surface(PlatSurface *surface, int32_t *pitch_out) {
    if (!display_started || !surface) return nullptr;
    int32_t pitch = 0;
    uint8_t *memory = plat_surface_lock(surface, &pitch);
    if (memory && pitch_out) *pitch_out = pitch;
    return memory;
}

int32_t gfx_unlock_surface(PlatSurface *surface) {
    if (!display_started || !surface) return 0;
    plat_surface_unlock(surface);
    return 1;
}

uint8_t *gfx_lock_primary(void) {
    if (primary_buffer) return primary_buffer;
    primary_buffer = gfx_lock_surface(primary_surface, &primary_pitch);
    if (!primary_buffer) primary_pitch = 0;
    return primary_buffer;
}

int32_t gfx_unlock_primary(void) {
    if (!primary_buffer) return 0;
    plat_surface_unlock(primary_surface);
    primary_buffer = nullptr;
    primary_pitch = 0;
    return 1;
}

uint8_t *gfx_lock_back(void) {
    if (back_buffer) return back_buffer;
    back_buffer = gfx_lock_surface(back_surface, &back_pitch);
    if (!back_buffer) back_pitch = 0;
    return back_buffer;
}

int32_t gfx_unlock_back(void) {
    if (!back_buffer) return 0;
    plat_surface_unlock(back_surface);
    back_buffer = nullptr;
    back_pitch = 0;
    return 1;
}

int32_t gfx_rgb16_565(int32_t red, int32_t green, int32_t blue) {
    return static_cast<int32_t>(plat_rgb565(red, green, blue));
}

int32_t gfx_rgb16_555(int32_t red, int32_t green, int32_t blue) {
    return ((red >> 3) & 31) * 1024 + ((green >> 3) & 31) * 32 + ((blue >> 3) & 31);
}
