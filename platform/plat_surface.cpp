// Software surfaces shared by both backends: fills and keyed, stretched blits
// cut to the destination's clip list.
#include <algorithm>
#include <cstring>

#include "platform/plat_internal.h"
#include "platform/plat_video.h"

static int32_t live_surfaces = 0;

PlatSurface *plat_surface_create(int32_t width, int32_t height, int32_t bpp) {
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384 || (bpp != 8 && bpp != 16)) return nullptr;
    PlatSurface *s = new PlatSurface();
    s->width = width;
    s->height = height;
    s->bpp = bpp;
    // Rows padded to 16 bytes, so callers that ignore the pitch show it at once.
    s->pitch = (width * (bpp / 8) + 15) & ~15;
    s->pixels.assign(static_cast<size_t>(s->pitch) * static_cast<size_t>(height), 0);
    live_surfaces++;
    return s;
}

void plat_surface_release(PlatSurface *surface) {
    if (!surface) return;
    live_surfaces--;
    delete surface;
}

int32_t plat_surface_live_count(void) { return live_surfaces; }

uint8_t *plat_surface_lock(PlatSurface *surface, int32_t *pitch) {
    if (!surface || plat_blind) return nullptr;
    surface->locked = 1;
    surface->writes++;
    if (pitch) *pitch = surface->pitch;
    return surface->pixels.data();
}

int plat_surface_unlock(PlatSurface *surface) {
    if (!surface) return 0;
    surface->locked = 0;
    surface->writes++; // the pointer handed out may have been written up to now
    return 1;
}

void plat_surface_set_color_key(PlatSurface *surface, uint32_t lo, uint32_t hi) {
    if (!surface) return;
    surface->key_enabled = 1;
    surface->key_lo = lo;
    surface->key_hi = hi;
}

int plat_surface_set_clip_list(PlatSurface *surface, const PlatRect *rects, int32_t count) {
    if (!surface || count < 0) return 0;
    surface->clip.clear();
    surface->clip_enabled = 0;
    if (rects && count > 0) {
        surface->clip.assign(rects, rects + count);
        surface->clip_enabled = 1;
    }
    return 1;
}

static PlatRect rect_intersect(const PlatRect &a, const PlatRect &b) {
    return PlatRect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                    std::min(a.bottom, b.bottom)};
}

static bool rect_empty(const PlatRect &r) { return r.left >= r.right || r.top >= r.bottom; }

// The regions a drawing on this surface may touch: its clip rectangles cut to its bounds.
static int clip_regions(const PlatSurface *s, PlatRect *out, int max) {
    PlatRect bounds{0, 0, s->width, s->height};
    if (!s->clip_enabled) {
        out[0] = bounds;
        return 1;
    }
    int n = 0;
    for (const PlatRect &r : s->clip) {
        PlatRect c = rect_intersect(r, bounds);
        if (!rect_empty(c) && n < max) out[n++] = c;
    }
    return n;
}

static void put_pixel(PlatSurface *s, int32_t x, int32_t y, uint32_t v) {
    uint8_t *row = s->pixels.data() + static_cast<size_t>(y) * s->pitch;
    if (s->bpp == 8)
        row[x] = static_cast<uint8_t>(v);
    else {
        uint16_t w = static_cast<uint16_t>(v);
        std::memcpy(row + 2 * x, &w, 2);
    }
}

static uint32_t get_pixel(const PlatSurface *s, int32_t x, int32_t y) {
    const uint8_t *row = s->pixels.data() + static_cast<size_t>(y) * s->pitch;
    if (s->bpp == 8) return row[x];
    uint16_t w;
    std::memcpy(&w, row + 2 * x, 2);
    return w;
}

int plat_surface_fill(PlatSurface *surface, const PlatRect *rect, uint32_t colour) {
    if (!surface || surface->locked) return 0;
    if (plat_blind) return 1;
    surface->writes++;
    PlatRect target = rect ? *rect : PlatRect{0, 0, surface->width, surface->height};
    PlatRect regions[64];
    int n = clip_regions(surface, regions, 64);
    for (int i = 0; i < n; i++) {
        PlatRect r = rect_intersect(target, regions[i]);
        if (rect_empty(r)) continue;
        for (int32_t y = r.top; y < r.bottom; y++) {
            if (surface->bpp == 8) {
                std::memset(surface->pixels.data() + static_cast<size_t>(y) * surface->pitch + r.left,
                            static_cast<uint8_t>(colour), static_cast<size_t>(r.right - r.left));
            } else {
                for (int32_t x = r.left; x < r.right; x++) put_pixel(surface, x, y, colour);
            }
        }
    }
    return 1;
}

int plat_surface_blit(PlatSurface *dst, const PlatRect *dst_rect, PlatSurface *src, const PlatRect *src_rect,
                      int32_t keyed) {
    if (!dst || !src || dst->locked || src->locked || dst->bpp != src->bpp) return 0;
    if (plat_blind) return 1;
    dst->writes++;
    PlatRect sr = src_rect ? *src_rect : PlatRect{0, 0, src->width, src->height};
    PlatRect dr = dst_rect ? *dst_rect : PlatRect{0, 0, dst->width, dst->height};
    sr = rect_intersect(sr, PlatRect{0, 0, src->width, src->height});
    int32_t dw = dr.right - dr.left, dh = dr.bottom - dr.top;
    int32_t sw = sr.right - sr.left, sh = sr.bottom - sr.top;
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return 0;
    bool use_key = keyed && src->key_enabled;
    bool same_size = dw == sw && dh == sh;
    PlatRect regions[64];
    int n = clip_regions(dst, regions, 64);
    for (int i = 0; i < n; i++) {
        PlatRect r = rect_intersect(dr, regions[i]);
        if (rect_empty(r)) continue;
        for (int32_t y = r.top; y < r.bottom; y++) {
            int32_t sy = sr.top + static_cast<int32_t>(static_cast<int64_t>(y - dr.top) * sh / dh);
            if (same_size && !use_key && dst->bpp == 8) {
                std::memcpy(dst->pixels.data() + static_cast<size_t>(y) * dst->pitch + r.left,
                            src->pixels.data() + static_cast<size_t>(sy) * src->pitch + sr.left + (r.left - dr.left),
                            static_cast<size_t>(r.right - r.left));
                continue;
            }
            for (int32_t x = r.left; x < r.right; x++) {
                int32_t sx = sr.left + static_cast<int32_t>(static_cast<int64_t>(x - dr.left) * sw / dw);
                uint32_t v = get_pixel(src, sx, sy);
                if (use_key && v >= src->key_lo && v <= src->key_hi) continue;
                put_pixel(dst, x, y, v);
            }
        }
    }
    return 1;
}
