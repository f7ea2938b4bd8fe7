// Display device: back surface, locks, clipping, fills and flip.
#pragma once
#include <cstdint>
#include "platform/plat_video.h"

// Capability flags kept from the original surface recipe; only their meaning here matters.
constexpr uint32_t GFX_SURFACE_SYSTEM_MEMORY = 0x800;

typedef int32_t (*GfxRgb16Builder)(int32_t red, int32_t green, int32_t blue);

// A clip list bound to one surface; the bounding rectangle is kept for inspection.
struct GfxClipper {
    PlatSurface *surface;
    int32_t count;
    PlatRect bound;
    PlatRect *rects; // owned, count entries
};

constexpr int32_t CLIP_BOUND_INIT = 64000;

extern int32_t display_started;      // 1 after a successful device open
extern PlatSurface *primary_surface; // what was shown last (a copy kept by the display)
extern PlatSurface *back_surface;
extern int32_t display_palette; // 1 once the 8-bit palette exists
extern GfxClipper *back_clipper;
extern GfxClipper *window_clipper;
extern int32_t screen_width, screen_height, screen_bpp, screen_windowed;
extern int32_t pixel_format;
extern GfxRgb16Builder gfx_rgb16;
extern int32_t clip_min_x, clip_max_x, clip_min_y, clip_max_y;
extern uint8_t *primary_buffer;
extern int32_t primary_pitch;
extern uint8_t *back_buffer;
extern int32_t back_pitch;
extern int32_t window_offset_x, window_offset_y;

int32_t gfx_display_init(int32_t width, int32_t height, int32_t bpp, int32_t windowed);
// start-up, once the window exists: 640, 480, 8, 0.
int32_t gfx_display_shutdown(void);
// shutdown; always 1.
PlatSurface *gfx_create_surface(int32_t width, int32_t height, uint32_t caps, uint32_t colour_key);
// windowed init and sprite creation; null on failure.
GfxClipper *gfx_attach_clipper(PlatSurface *surface, int32_t count, const PlatRect *rects);
// init: binds a clip list to a surface; null on failure.
void gfx_release_clipper(GfxClipper *clipper);
// shutdown.
int32_t gfx_flip(void);
// every frame: shows the back surface; 0 while a lock is held.
int32_t gfx_wait_vblank(void);
int32_t gfx_fill_surface(PlatSurface *surface, uint32_t colour, const PlatRect *rect);
// every frame: clear the back surface (rect null = whole); always 1.
uint8_t *gfx_lock_surface(PlatSurface *surface, int32_t *pitch_out);
int32_t gfx_unlock_surface(PlatSurface *surface);
uint8_t *gfx_lock_primary(void);
int32_t gfx_unlock_primary(void);
uint8_t *gfx_lock_back(void);
// frame and particle drawing: cached lock of the back surface.
int32_t gfx_unlock_back(void);
int32_t gfx_rgb16_565(int32_t red, int32_t green, int32_t blue);
int32_t gfx_rgb16_555(int32_t red, int32_t green, int32_t blue);
