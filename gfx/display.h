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

// Start-up, once the window exists: 640, 480, 8, 0, and the text palette an 8-bit display starts
// with (its entries stay black where the file is missing).
int32_t gfx_display_init(int32_t width, int32_t height, int32_t bpp, int32_t windowed, const char *palette_file);
// Shutdown; always 1.
int32_t gfx_display_shutdown(void);
// Windowed init (the back buffer): a surface at the screen's depth, keyed to colour_key's low 16 bits;
// null on failure. caps means nothing here (every surface is plain memory).
PlatSurface *gfx_create_surface(int32_t width, int32_t height, uint32_t caps, uint32_t colour_key);
// Init: binds a clip list to a surface; null on failure.
GfxClipper *gfx_attach_clipper(PlatSurface *surface, int32_t count, const PlatRect *rects);
// Shutdown.
void gfx_release_clipper(GfxClipper *clipper);
// Every frame: shows the back surface; 0 while a lock is held.
int32_t gfx_flip(void);
// Always 1: presenting paces itself.
int32_t gfx_wait_vblank(void);
// Image drawing: whole rows of pitch bytes from memory to the end of the display surface it lies in
// (back or primary), or INT32_MAX for a buffer of the caller's own.
int32_t gfx_buffer_rows(const uint8_t *memory, int32_t pitch);
// Every frame: clear the back surface (rect null = whole); always 1.
int32_t gfx_fill_surface(PlatSurface *surface, uint32_t colour, const PlatRect *rect);
// Any surface's memory and pitch, uncached; null for a null surface. Unlock gives 0 for one.
uint8_t *gfx_lock_surface(PlatSurface *surface, int32_t *pitch_out);
int32_t gfx_unlock_surface(PlatSurface *surface);
// Cached locks: a second lock returns the same memory, one unlock ends it (0 when not locked).
uint8_t *gfx_lock_primary(void);
int32_t gfx_unlock_primary(void);
// Frame and particle drawing: cached lock of the back surface.
uint8_t *gfx_lock_back(void);
int32_t gfx_unlock_back(void);
// 16-bit colours from red, green and blue (0 to 255): 5.6.5 and 5.5.5 words.
int32_t gfx_rgb16_565(int32_t red, int32_t green, int32_t blue);
int32_t gfx_rgb16_555(int32_t red, int32_t green, int32_t blue);
