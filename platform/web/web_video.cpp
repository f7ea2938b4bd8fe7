// The canvas as the display: each present turns the 8-bit frame into RGBA through the device
// palette and hands it to the page (putImageData); the page scales the canvas by whole factors.
#include <emscripten.h>

#include <cstring>
#include <vector>

#include "platform/plat_internal.h"
#include "platform/web/web_internal.h"

namespace {

int32_t display_open = 0;
int32_t frame_w = 0, frame_h = 0, frame_bpp = 8;
std::vector<uint8_t> shown; // the last frame as presented (indices or 5:6:5 words)
std::vector<uint32_t> rgba; // what the page is handed
PlatColor shown_palette[256];
int32_t have_frame = 0;
int32_t was_shown = 0;
int32_t first_painted = 0;
int32_t pending = 0; // a frame (or palette) the page has not been handed yet

EM_JS(void, web_paint, (const uint8_t *pixels, int width, int height, int first), {
    var canvas = Module["canvas"];
    if (!canvas) return;
    if (canvas.width != width || canvas.height != height) {
        canvas.width = width;
        canvas.height = height;
    }
    var ctx = canvas.getContext("2d");
    // putImageData copies the pixels: the image may stand on the heap itself.
    var image = new ImageData(new Uint8ClampedArray(HEAPU8.buffer, pixels, width * height * 4), width, height);
    ctx.putImageData(image, 0, 0);
    Module["paints"] = (Module["paints"] || 0) + 1;
    if (!first) return;
    if (Module["onFirstPicture"]) Module["onFirstPicture"]();
    // What waited for the first picture (the audio device) runs once it is on the screen.
    var later = Module["afterFirstPicture"] || [];
    Module["afterFirstPicture"] = [];
    var run = function() {
        later.forEach(function(f) { f(); });
    };
    requestAnimationFrame(function() { setTimeout(run, 0); });
});

void paint(void) {
    pending = 0;
    if (!have_frame) return;
    const PlatColor *pal = plat_palette_data();
    uint32_t lut[256];
    for (int i = 0; i < 256; i++)
        lut[i] =
            0xFF000000u | (static_cast<uint32_t>(pal[i].b) << 16) | (static_cast<uint32_t>(pal[i].g) << 8) | pal[i].r;
    size_t n = static_cast<size_t>(frame_w) * frame_h;
    rgba.resize(n);
    if (frame_bpp == 8) {
        for (size_t i = 0; i < n; i++) rgba[i] = lut[shown[i]];
    } else {
        for (size_t i = 0; i < n; i++) {
            uint32_t rgb = plat_rgb565_expand(shown[2 * i] | (shown[2 * i + 1] << 8));
            rgba[i] = 0xFF000000u | ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
        }
    }
    web_paint(reinterpret_cast<const uint8_t *>(rgba.data()), frame_w, frame_h, !first_painted);
    first_painted = 1;
}

// A fast replay hands the page only the frame in hand when it yields: the first one at once
// (the page waits for it), later ones when the page gets the thread (web_paint_pending).
void show(void) {
    if (!web_fast() || !first_painted)
        paint();
    else
        pending = 1;
}

} // namespace

void web_paint_pending(void) {
    if (pending) paint();
}

int plat_display_open(int32_t width, int32_t height, int32_t bpp) {
    if (!plat_display_mode_ok(width, height, bpp)) return 0;
    display_open = 1;
    return 1;
}

void plat_display_close(void) {
    // The last picture stays on the page when the game ends.
    web_paint_pending();
    display_open = 0;
    was_shown = 0;
}

void plat_backend_palette_changed(void) {
    if (display_open) show();
}

int plat_present(PlatSurface *back) {
    if (!display_open || !back || back->locked || plat_blind) return 0;
    bool same = have_frame && frame_w == back->width && frame_h == back->height && frame_bpp == back->bpp &&
                std::memcmp(shown_palette, plat_palette_data(), sizeof shown_palette) == 0;
    frame_w = back->width;
    frame_h = back->height;
    frame_bpp = back->bpp;
    size_t row = static_cast<size_t>(frame_w) * (back->bpp / 8);
    shown.resize(row * frame_h);
    for (int32_t y = 0; y < frame_h; y++) {
        const uint8_t *src = back->pixels.data() + static_cast<size_t>(y) * back->pitch;
        uint8_t *dst = shown.data() + static_cast<size_t>(y) * row;
        if (same && std::memcmp(dst, src, row) != 0) same = false;
        if (!same) std::memcpy(dst, src, row);
    }
    std::memcpy(shown_palette, plat_palette_data(), sizeof shown_palette);
    have_frame = 1;
    was_shown = same ? 1 : 0;
    if (!same) show();
    return 1;
}

int plat_present_was_shown(void) { return was_shown; }

// The page reads the picture back in tests (the canvas itself may be scaled by CSS).
extern "C" EMSCRIPTEN_KEEPALIVE const uint32_t *web_frame_rgba(void) { return have_frame ? rgba.data() : nullptr; }
