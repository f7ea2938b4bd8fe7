// SDL presenting: the 8-bit frame goes through the palette into the window, scaled by whole
// factors, centred, with black borders. By default we scale straight into the window's own
// surface: no GL stack is loaded (without a GPU that is Mesa's LLVM rasteriser, 60 MB and slower
// than our copy). On X11 the picture goes band by band through small shared-memory images of our
// own, sent without waiting for the server (sdl_x11_present.cpp). SDL_RENDER_DRIVER asks for one
// of SDL's renderers instead.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/mman.h>
#include <vector>

#include "platform/plat_internal.h"
#include "platform/sdl/sdl_internal.h"
#include "platform/synth/plat_synth.h"

namespace {

SDL_Renderer *renderer = nullptr; // renderer path
SDL_Texture *texture = nullptr;
int32_t use_surface = 0; // window-surface path
int32_t open_flag = 0;
int32_t tex_w = 0, tex_h = 0;
int32_t last_bpp = 0;
std::vector<uint8_t> last_frame; // tightly packed copy of what was shown last
std::vector<uint8_t> incoming;
PlatColor shown_palette[256];
int32_t shown_valid = 0;         // last_frame is on screen with shown_palette
int32_t borders_stale = 1;       // the window changed: clear it whole before the next picture
int32_t server_borders = 0;      // the X server paints the borders: we never send them
int32_t palette_pending = 0;     // a palette change not shown yet
double last_palette_show = -1e9; // when the last palette-only show ended, and how long it took
double palette_show_ms = 0;
bool first_frame_reported = false;
int32_t shown_count = 0;

// QUORVANE_REPORT_PRESENTS: present times, printed when the display closes.
bool report_presents = false;
std::vector<float> present_ms;
long skipped_presents = 0;
int present_was_shown = 0; // the last present found its frame on the window already
timespec first_present{};

// For the start-up benchmark: with QUORVANE_REPORT_FIRST_FRAME set, the first present says
// when it happened on the system-wide monotonic clock, so a parent can time exec to picture.
void report_first_frame(void) {
    first_frame_reported = true;
    clock_gettime(CLOCK_MONOTONIC, &first_present);
    plat_synth_screen_shown();
    if (!std::getenv("QUORVANE_REPORT_FIRST_FRAME")) return;
    timespec wall{}, cpu{}, main_cpu{};
    clock_gettime(CLOCK_REALTIME, &wall);
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &main_cpu); // the rest is the loading and audio threads'
    std::fprintf(stderr, "quorvane: first frame at %lld ns (wall %lld ns), %.1f ms of CPU (main thread %.1f ms)\n",
                 static_cast<long long>(first_present.tv_sec) * 1000000000LL + first_present.tv_nsec,
                 static_cast<long long>(wall.tv_sec) * 1000000000LL + wall.tv_nsec,
                 cpu.tv_sec * 1e3 + cpu.tv_nsec / 1e6, main_cpu.tv_sec * 1e3 + main_cpu.tv_nsec / 1e6);
    std::fflush(stderr);
}

void print_present_report(void) {
    if (!report_presents || present_ms.empty()) return;
    std::vector<float> v = present_ms;
    std::sort(v.begin(), v.end());
    double secs = (sdl_now_ms() - (first_present.tv_sec * 1000.0 + first_present.tv_nsec / 1e6)) / 1000.0;
    std::fprintf(stderr,
                 "quorvane: presents %zu shown (%.1f a second), %ld skipped as unchanged; "
                 "median %.2f ms, 95th %.2f ms, max %.2f ms; %d waits of over 100 ms for the X server\n",
                 v.size(), secs > 0 ? v.size() / secs : 0.0, skipped_presents, v[v.size() / 2], v[v.size() * 95 / 100],
                 v.back(), sdl_x11p_slow_waits());
}

// Where pictures are drawn: the window surface, or one of our own X11 buffers.
struct Target {
    uint8_t *pixels;
    int32_t pitch, w, h;
    const SDL_PixelFormat *format; // null: the channel shifts below
    int32_t rshift, gshift, bshift;
};

uint32_t rgb_of(const Target &t, uint8_t r, uint8_t g, uint8_t b) {
    if (t.format) return SDL_MapRGB(t.format, r, g, b);
    return static_cast<uint32_t>(r) << t.rshift | static_cast<uint32_t>(g) << t.gshift |
           static_cast<uint32_t>(b) << t.bshift;
}

// One band of source rows [y0, y1), columns [x0, x1), scaled by k into the target at (ox, oy).
void scale_band(const Target &t, const uint32_t *lut, int32_t k, int32_t ox, int32_t oy, int32_t y0, int32_t y1,
                int32_t x0, int32_t x1) {
    for (int32_t y = y0; y < y1; y++) {
        uint8_t *row = t.pixels + static_cast<size_t>(oy + y * k) * t.pitch;
        uint32_t *dst = reinterpret_cast<uint32_t *>(row) + ox + x0 * k;
        if (last_bpp == 8) {
            const uint8_t *src = &last_frame[static_cast<size_t>(y) * tex_w];
            if (k == 1) {
                for (int32_t x = x0; x < x1; x++) *dst++ = lut[src[x]];
            } else {
                for (int32_t x = x0; x < x1; x++) {
                    uint32_t c = lut[src[x]];
                    for (int32_t i = 0; i < k; i++) *dst++ = c;
                }
            }
        } else {
            const uint8_t *src = &last_frame[static_cast<size_t>(y) * tex_w * 2];
            for (int32_t x = x0; x < x1; x++) {
                uint16_t w;
                std::memcpy(&w, src + static_cast<size_t>(x) * 2, 2);
                uint32_t rgb = plat_rgb565_expand(w);
                uint32_t c = rgb_of(t, static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8),
                                    static_cast<uint8_t>(rgb));
                for (int32_t i = 0; i < k; i++) *dst++ = c;
            }
        }
        size_t bytes = static_cast<size_t>(x1 - x0) * k * 4;
        const uint8_t *first = row + static_cast<size_t>(ox + x0 * k) * 4;
        for (int32_t i = 1; i < k; i++)
            std::memcpy(row + static_cast<size_t>(i) * t.pitch + static_cast<size_t>(ox + x0 * k) * 4, first, bytes);
    }
}

constexpr int32_t BAND = 16; // source rows compared and sent together

// Where the picture sits in a target: the whole factor, its top left corner, and how many of
// its columns and rows show.
struct Placement {
    int32_t k, ox, oy, vis_w, vis_h;
};

Placement place_in(const Target &s) {
    Placement p;
    p.k = std::max(1, std::min(s.w / tex_w, s.h / tex_h));
    p.ox = (s.w - tex_w * p.k) / 2;
    p.oy = (s.h - tex_h * p.k) / 2;
    if (s.w < tex_w * p.k || s.h < tex_h * p.k) { // a window smaller than the picture shows its middle
        p.ox = std::max(0, p.ox);
        p.oy = std::max(0, p.oy);
    }
    p.vis_w = std::min(tex_w, (s.w - p.ox) / p.k);
    p.vis_h = std::min(tex_h, (s.h - p.oy) / p.k);
    return p;
}

// A fresh window surface is shared memory not yet mapped in: the first picture would take a
// page fault per 4 KiB, costly in a virtual machine. One call maps in the rows the picture covers.
const void *prefaulted = nullptr;

void prefault_picture_rows(const Target &s, const Placement &p) {
    if (s.pixels == prefaulted) return;
    prefaulted = s.pixels;
#ifdef MADV_POPULATE_WRITE
    const uintptr_t page = 4096;
    uintptr_t first = reinterpret_cast<uintptr_t>(s.pixels) + static_cast<uintptr_t>(p.oy) * s.pitch;
    uintptr_t end = first + static_cast<uintptr_t>(p.vis_h * p.k) * s.pitch;
    first &= ~(page - 1);
    madvise(reinterpret_cast<void *>(first), end - first, MADV_POPULATE_WRITE); // older kernels: faults as before
#endif
}

// Widens [lo, hi) to the columns of rows [y0, y1) where frames a and b differ.
void changed_columns(const uint8_t *a, const uint8_t *b, int32_t y0, int32_t y1, int32_t vis_w, int32_t *lo,
                     int32_t *hi) {
    const int32_t bytes_pp = last_bpp / 8;
    const size_t row_bytes = static_cast<size_t>(tex_w) * bytes_pp;
    for (int32_t y = y0; y < y1; y++) {
        const uint8_t *ra = a + y * row_bytes, *rb = b + y * row_bytes;
        if (std::memcmp(ra, rb, static_cast<size_t>(vis_w) * bytes_pp) == 0) continue;
        int32_t l = 0, r = vis_w;
        while (l < r && std::memcmp(ra + l * bytes_pp, rb + l * bytes_pp, bytes_pp) == 0) l++;
        while (r > l && std::memcmp(ra + (r - 1) * bytes_pp, rb + (r - 1) * bytes_pp, bytes_pp) == 0) r--;
        *lo = std::min(*lo, l);
        *hi = std::max(*hi, r);
    }
}

int32_t x11_on = 0;
int32_t x11_win_w = 0, x11_win_h = 0; // the window's size at the last X11 present

// The picture's bands that changed since previous (all when whole or without one), as
// source rows [y0, y1) and columns [x0, x1), one call each.
template <typename Visit>
void each_changed_band(const Placement &p, const uint8_t *previous, bool whole, Visit visit) {
    for (int32_t y0 = 0; y0 < p.vis_h; y0 += BAND) {
        int32_t y1 = std::min(p.vis_h, y0 + BAND);
        int32_t x0 = 0, x1 = p.vis_w;
        if (!whole && previous) {
            // Narrow the band to the columns that changed; skip it when none did.
            int32_t lo = p.vis_w, hi = 0;
            changed_columns(last_frame.data(), previous, y0, y1, p.vis_w, &lo, &hi);
            if (lo >= hi) continue;
            x0 = lo;
            x1 = hi;
        }
        visit(y0, y1, x0, x1);
    }
}

void show_on_window_surface(const uint8_t *previous, bool whole);

// Our own X11 path: each changed band is scaled into the next image of a small ring and put at
// its place in the window. The X server's borders are its black background, unless it cannot
// paint one. Returns 0 when the path failed (the caller goes on with SDL's window surface).
int show_on_x11(SDL_Window *win, const uint8_t *previous, bool whole) {
    int w = 0, h = 0;
    SDL_GetWindowSizeInPixels(win, &w, &h);
    const Placement p = place_in(Target{nullptr, 0, w, h, nullptr, 0, 0, 0});
    if (p.vis_w <= 0 || p.vis_h <= 0) return 1;
    if (w != x11_win_w || h != x11_win_h || borders_stale) {
        whole = true;
        if (!server_borders) {
            const int32_t pw = p.vis_w * p.k, ph = p.vis_h * p.k;
            SDL_Rect borders[4] = {{0, 0, w, p.oy},
                                   {0, p.oy + ph, w, h - p.oy - ph},
                                   {0, p.oy, p.ox, ph},
                                   {p.ox + pw, p.oy, w - p.ox - pw, ph}};
            sdl_x11p_fill_black(borders, 4);
        }
    }
    x11_win_w = w;
    x11_win_h = h;
    borders_stale = 0;
    int32_t shifts[3];
    sdl_x11p_shifts(shifts);
    const Target channels{nullptr, 0, 0, 0, nullptr, shifts[0], shifts[1], shifts[2]};
    uint32_t lut[256];
    const PlatColor *pal = plat_palette_data();
    for (int i = 0; i < 256; i++) lut[i] = rgb_of(channels, pal[i].r, pal[i].g, pal[i].b);
    int ok = 1;
    each_changed_band(p, previous, whole, [&](int32_t y0, int32_t y1, int32_t x0, int32_t x1) {
        SdlX11Frame band{};
        if (!ok || !sdl_x11p_acquire(p.vis_w * p.k, BAND * p.k, &band)) {
            ok = 0;
            return;
        }
        // Drawn at the band image's top left: source (x0, y0) lands on (0, 0).
        const Target t{band.pixels, band.pitch, band.w, band.h, nullptr, shifts[0], shifts[1], shifts[2]};
        scale_band(t, lut, p.k, -x0 * p.k, -y0 * p.k, y0, y1, x0, x1);
        sdl_x11p_send((x1 - x0) * p.k, (y1 - y0) * p.k, p.ox + x0 * p.k, p.oy + y0 * p.k);
    });
    sdl_x11p_flush();
    return ok;
}

// Writes the changed parts of last_frame (all of it when whole) and sends them to the window.
// previous: the frame on screen before, or null.
void show_on_surface(const uint8_t *previous, bool whole) {
    SDL_Window *win = sdl_window();
    if (!win) return;
    if (x11_on) {
        if (show_on_x11(win, previous, whole)) return;
        x11_on = 0; // SDL's window surface from now on, the whole picture and its borders
        borders_stale = 1;
    }
    show_on_window_surface(previous, whole);
}

// SDL's window surface: the picture is scaled into the window's own pixels.
std::vector<SDL_Rect> surface_rects; // kept: a present allocates nothing
void show_on_window_surface(const uint8_t *previous, bool whole) {
    SDL_Window *win = sdl_window();
    SDL_Surface *s = SDL_GetWindowSurface(win);
    if (!s || s->format->BytesPerPixel != 4) return;
    const Target t{static_cast<uint8_t *>(s->pixels), s->pitch, s->w, s->h, s->format, 0, 0, 0};
    const Placement place = place_in(t);
    if (place.vis_w <= 0 || place.vis_h <= 0) return;
    prefault_picture_rows(t, place);
    bool send_all = false;
    if (borders_stale) {
        send_all = !server_borders;
        if (send_all) SDL_FillRect(s, nullptr, SDL_MapRGB(s->format, 0, 0, 0));
        borders_stale = 0;
        whole = true;
    }
    uint32_t lut[256];
    const PlatColor *pal = plat_palette_data();
    for (int i = 0; i < 256; i++) lut[i] = rgb_of(t, pal[i].r, pal[i].g, pal[i].b);
    surface_rects.clear();
    if (SDL_MUSTLOCK(s)) SDL_LockSurface(s);
    each_changed_band(place, previous, whole, [&](int32_t y0, int32_t y1, int32_t x0, int32_t x1) {
        scale_band(t, lut, place.k, place.ox, place.oy, y0, y1, x0, x1);
        surface_rects.push_back(
            SDL_Rect{place.ox + x0 * place.k, place.oy + y0 * place.k, (x1 - x0) * place.k, (y1 - y0) * place.k});
    });
    if (SDL_MUSTLOCK(s)) SDL_UnlockSurface(s);
    if (send_all)
        SDL_UpdateWindowSurface(win);
    else if (!surface_rects.empty())
        SDL_UpdateWindowSurfaceRects(win, surface_rects.data(), static_cast<int>(surface_rects.size()));
}

void show_on_renderer(void) {
    void *pixels = nullptr;
    int pitch = 0;
    if (!texture || SDL_LockTexture(texture, nullptr, &pixels, &pitch) != 0) return;
    uint32_t lut[256];
    const PlatColor *pal = plat_palette_data();
    for (int i = 0; i < 256; i++)
        lut[i] = 0xFF000000u | static_cast<uint32_t>(pal[i].r) << 16 | static_cast<uint32_t>(pal[i].g) << 8 | pal[i].b;
    for (int32_t y = 0; y < tex_h; y++) {
        uint32_t *dst = reinterpret_cast<uint32_t *>(static_cast<uint8_t *>(pixels) + static_cast<size_t>(y) * pitch);
        if (last_bpp == 8) {
            const uint8_t *src = &last_frame[static_cast<size_t>(y) * tex_w];
            for (int32_t x = 0; x < tex_w; x++) dst[x] = lut[src[x]];
        } else {
            const uint8_t *src = &last_frame[static_cast<size_t>(y) * tex_w * 2];
            for (int32_t x = 0; x < tex_w; x++) {
                uint16_t w;
                std::memcpy(&w, src + static_cast<size_t>(x) * 2, 2);
                dst[x] = 0xFF000000u | plat_rgb565_expand(w);
            }
        }
    }
    SDL_UnlockTexture(texture);
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    SDL_RenderCopy(renderer, texture, nullptr, nullptr);
    SDL_RenderPresent(renderer);
}

// Shows last_frame; previous (the frame shown before) lets the surface path send only changes.
void show(const uint8_t *previous, bool whole) {
    if (!open_flag || last_frame.empty()) return;
    double t0 = report_presents ? sdl_now_ms() : 0;
    if (use_surface)
        show_on_surface(previous, whole);
    else
        show_on_renderer();
    std::memcpy(shown_palette, plat_palette_data(), sizeof shown_palette);
    shown_valid = 1;
    palette_pending = 0;
    shown_count++;
    if (report_presents && present_ms.size() < 1000000) present_ms.push_back(static_cast<float>(sdl_now_ms() - t0));
}

int open_renderer(SDL_Window *win, int32_t width, int32_t height) {
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "0");
    renderer = SDL_CreateRenderer(win, -1, 0);
    if (!renderer) {
        plat_set_error(SDL_GetError());
        return 0;
    }
    SDL_RenderSetLogicalSize(renderer, width, height);
    SDL_RenderSetIntegerScale(renderer, SDL_TRUE);
    texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, width, height);
    if (!texture) {
        plat_set_error(SDL_GetError());
        SDL_DestroyRenderer(renderer);
        renderer = nullptr;
        return 0;
    }
    return 1;
}

void show_palette_in_wait(uint32_t ms_left) {
    if (!palette_pending) return;
    // A show that fits in the wait costs nothing. A slower one (a large window) is made only after
    // four times its length without one, so a fade keeps within a fifth of its time more.
    double now = sdl_now_ms();
    if (palette_show_ms > ms_left && now - last_palette_show < 4 * palette_show_ms) return;
    show(nullptr, true);
    double end = sdl_now_ms();
    palette_show_ms = end - now;
    last_palette_show = end;
}

void show_palette_before_events(void) {
    if (palette_pending) show(nullptr, true);
}

void redraw_window(void) {
    borders_stale = 1;
    show(nullptr, true);
}

} // namespace

double sdl_now_ms(void) {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

int plat_display_open(int32_t width, int32_t height, int32_t bpp) {
    // From the first open on, the window's events and waits reach the display.
    sdl_system_hooks.taking_events = show_palette_before_events;
    sdl_system_hooks.window_changed = redraw_window;
    sdl_system_hooks.going_to_sleep = show_palette_in_wait;
    sdl_system_hooks.shutting_down = plat_display_close;
    SDL_Window *win = sdl_window();
    if (!win) {
        plat_set_error("no window to show the display in");
        return 0;
    }
    if (bpp != 8 && bpp != 16) {
        plat_set_error("only 8 and 16 bits per pixel are supported");
        return 0;
    }
    plat_display_close();
    report_presents = std::getenv("QUORVANE_REPORT_PRESENTS") != nullptr;
    const char *driver = std::getenv("SDL_RENDER_DRIVER");
    use_surface = 0;
    if (!driver || !*driver) {
        // The window's own framebuffer, not one drawn through a GL texture.
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        x11_on = sdl_x11p_open(win);
        x11_win_w = x11_win_h = 0;
        SDL_Surface *s = x11_on ? nullptr : SDL_GetWindowSurface(win);
        use_surface = x11_on || (s && s->format->BytesPerPixel == 4);
        server_borders = use_surface && sdl_x11_black_background(win);
    }
    if (!use_surface && !open_renderer(win, width, height)) return 0;
    tex_w = width;
    tex_h = height;
    open_flag = 1;
    last_frame.clear();
    shown_valid = 0;
    borders_stale = 1;
    return 1;
}

void plat_display_close(void) {
    print_present_report();
    present_ms.clear();
    skipped_presents = 0;
    if (texture) SDL_DestroyTexture(texture);
    if (renderer) SDL_DestroyRenderer(renderer);
    texture = nullptr;
    renderer = nullptr;
    sdl_x11p_close();
    x11_on = 0;
    use_surface = 0;
    open_flag = 0;
    last_frame.clear();
    shown_valid = 0;
    present_was_shown = 0;
}

int plat_present(PlatSurface *back) {
    if (!open_flag || !back || back->locked || back->width != tex_w || back->height != tex_h) return 0;
    size_t row = static_cast<size_t>(tex_w) * (back->bpp / 8);
    bool same_palette = std::memcmp(shown_palette, plat_palette_data(), sizeof shown_palette) == 0;
    if (shown_valid && back->bpp == last_bpp && last_frame.size() == row * tex_h && (back->bpp != 8 || same_palette)) {
        // Compared where it lies: most menu frames are unchanged and need no copy at all.
        int32_t y = 0;
        while (y < tex_h && std::memcmp(&last_frame[static_cast<size_t>(y) * row],
                                        back->pixels.data() + static_cast<size_t>(y) * back->pitch, row) == 0)
            y++;
        if (y == tex_h) {
            skipped_presents++; // the window already shows exactly this
            present_was_shown = 1;
            return 1;
        }
    }
    present_was_shown = 0;
    incoming.resize(row * tex_h);
    for (int32_t y = 0; y < tex_h; y++)
        std::memcpy(&incoming[static_cast<size_t>(y) * row], back->pixels.data() + static_cast<size_t>(y) * back->pitch,
                    row);
    bool comparable = shown_valid && back->bpp == last_bpp && incoming.size() == last_frame.size();
    last_frame.swap(incoming);
    last_bpp = back->bpp;
    show(comparable ? incoming.data() : nullptr, !comparable || (back->bpp == 8 && !same_palette));
    if (!first_frame_reported) report_first_frame();
    return 1;
}

int plat_present_was_shown(void) { return present_was_shown; }

// A palette change is shown when the game next waits, inside the wait: a fade's steps then
// cost their wait and not the wait plus a whole present each.
void plat_backend_palette_changed(void) {
    if (open_flag && !last_frame.empty()) palette_pending = 1;
}

int32_t sdl_video_shown_count(void) { return shown_count; }
