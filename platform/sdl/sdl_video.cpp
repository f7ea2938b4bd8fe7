// SDL presenting: the 8-bit frame goes through the palette into a streaming
// ARGB texture, scaled by whole factors with black borders.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "platform/plat_internal.h"
#include "platform/sdl/sdl_internal.h"

static SDL_Renderer *renderer = nullptr;
static SDL_Texture *texture = nullptr;
static int32_t tex_w = 0, tex_h = 0;
static int32_t last_bpp = 0;
static std::vector<uint8_t> last_frame; // tightly packed copy of what was shown last
static bool first_frame_reported = false;

// For the start-up benchmark: with QUORVANE_REPORT_FIRST_FRAME set, the first present says
// when it happened on the system-wide monotonic clock, so a parent can time exec to picture.
static void report_first_frame(void)
{
    first_frame_reported = true;
    if (!std::getenv("QUORVANE_REPORT_FIRST_FRAME"))
        return;
    timespec ts{}, wall{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    clock_gettime(CLOCK_REALTIME, &wall);
    std::fprintf(stderr, "quorvane: first frame at %lld ns (wall %lld ns)\n",
                 (long long)ts.tv_sec * 1000000000LL + ts.tv_nsec,
                 (long long)wall.tv_sec * 1000000000LL + wall.tv_nsec);
    std::fflush(stderr);
}

static void show_last_frame(void)
{
    if (!renderer || !texture || last_frame.empty())
        return;
    void *pixels = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(texture, nullptr, &pixels, &pitch) != 0)
        return;
    if (last_bpp == 8) {
        uint32_t lut[256];
        const PlatColor *pal = plat_palette_data();
        for (int i = 0; i < 256; i++)
            lut[i] = 0xFF000000u | ((uint32_t)pal[i].r << 16) | ((uint32_t)pal[i].g << 8) | pal[i].b;
        for (int32_t y = 0; y < tex_h; y++) {
            const uint8_t *src = &last_frame[(size_t)y * tex_w];
            uint32_t *dst = (uint32_t *)((uint8_t *)pixels + (size_t)y * pitch);
            for (int32_t x = 0; x < tex_w; x++)
                dst[x] = lut[src[x]];
        }
    } else {
        for (int32_t y = 0; y < tex_h; y++) {
            const uint16_t *src = (const uint16_t *)&last_frame[(size_t)y * tex_w * 2];
            uint32_t *dst = (uint32_t *)((uint8_t *)pixels + (size_t)y * pitch);
            for (int32_t x = 0; x < tex_w; x++) {
                uint32_t w = src[x], r = (w >> 11) & 31, g = (w >> 5) & 63, b = w & 31;
                dst[x] = 0xFF000000u | ((r * 255 / 31) << 16) | ((g * 255 / 63) << 8) | (b * 255 / 31);
            }
        }
    }
    SDL_UnlockTexture(texture);
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    SDL_RenderCopy(renderer, texture, nullptr, nullptr);
    SDL_RenderPresent(renderer);
}

int plat_display_open(int32_t width, int32_t height, int32_t bpp)
{
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
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "0");
    renderer = SDL_CreateRenderer(win, -1, SDL_RENDERER_ACCELERATED);
    if (!renderer)
        renderer = SDL_CreateRenderer(win, -1, SDL_RENDERER_SOFTWARE);
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
    tex_w = width;
    tex_h = height;
    last_frame.clear();
    return 1;
}

void plat_display_close(void)
{
    if (texture)
        SDL_DestroyTexture(texture);
    if (renderer)
        SDL_DestroyRenderer(renderer);
    texture = nullptr;
    renderer = nullptr;
    last_frame.clear();
}

int plat_display_is_open(void) { return renderer != nullptr; }

int plat_present(PlatSurface *back)
{
    if (!renderer || !back || back->locked || back->width != tex_w || back->height != tex_h)
        return 0;
    size_t row = (size_t)tex_w * (back->bpp / 8);
    last_frame.resize(row * tex_h);
    for (int32_t y = 0; y < tex_h; y++)
        std::memcpy(&last_frame[y * row], back->pixels.data() + (size_t)y * back->pitch, row);
    last_bpp = back->bpp;
    show_last_frame();
    if (!first_frame_reported)
        report_first_frame();
    return 1;
}

void plat_backend_palette_changed(void) { show_last_frame(); }

void sdl_video_window_resized(void) { show_last_frame(); }

int plat_output_size(int32_t *width, int32_t *height)
{
    int w = 0, h = 0;
    if (renderer) {
        if (SDL_GetRendererOutputSize(renderer, &w, &h) != 0)
            return 0;
    } else if (sdl_window()) {
        SDL_GetWindowSizeInPixels(sdl_window(), &w, &h);
    } else {
        return 0;
    }
    if (width)
        *width = w;
    if (height)
        *height = h;
    return 1;
}
