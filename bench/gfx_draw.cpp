// Per-frame drawing costs: the backdrop copy (against a bare memcpy), a ship blit,
// a turret line and a frame of explosion particles, on the headless backend.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "gfx/bitmap.h"
#include "gfx/display.h"
#include "gfx/line.h"
#include "gfx/sprite.h"
#include "bench/bench_display.h"
#include "platform/plat_headless.h"

namespace {

struct LockedBack {
    uint8_t *mem = nullptr;
    int32_t pitch = 0;
    LockedBack() { mem = gfx_lock_surface(back_surface, &pitch); }
    ~LockedBack() { gfx_unlock_surface(back_surface); }
};

void BM_ImageDraw8Opaque640x480(benchmark::State &state) {
    DisplayUp up;
    PixelImage image{};
    gfx_image_create(&image, 0, 0, 640, 480, 8);
    for (int32_t i = 0; i < image.size; i++) image.buffer[i] = static_cast<uint8_t>(i * 7);
    image.attributes |= IMAGE_LOADED;
    LockedBack back;
    for (auto _ : state) {
        gfx_image_draw8(&image, back.mem, back.pitch, 0);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * 640 * 480);
    gfx_image_destroy(&image);
}
BENCHMARK(BM_ImageDraw8Opaque640x480);

void BM_Memcpy640x480(benchmark::State &state) {
    std::vector<uint8_t> src(static_cast<size_t>(640) * 480, 3), dst(static_cast<size_t>(640) * 480, 0);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), src.size());
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * 640 * 480);
}
BENCHMARK(BM_Memcpy640x480);

void BM_SpriteKeyedBlit44x44(benchmark::State &state) {
    DisplayUp up;
    BmpFile sheet{};
    sheet.info_header.biWidth = 46;
    sheet.info_header.biHeight = 46;
    sheet.info_header.biBitCount = 8;
    std::vector<uint8_t> px(static_cast<size_t>(46) * 46);
    // A round ship on the transparent index 0.
    for (int32_t y = 0; y < 46; y++)
        for (int32_t x = 0; x < 46; x++) {
            int32_t dx = x - 23, dy = y - 23;
            px[static_cast<size_t>(y) * 46 + x] =
                dx * dx + dy * dy < 400 ? static_cast<uint8_t>(100 + (x ^ y) % 50) : 0;
        }
    sheet.pixels = px.data();
    SpriteObject ship{};
    gfx_sprite_create(&ship, 300, 200, 44, 44, 1, SPRITE_ATTR_VISIBLE, GFX_SURFACE_SYSTEM_MEMORY, 0, 8);
    gfx_sprite_load_frame(&ship, &sheet, 0, 0, 0, 0);
    sheet.pixels = nullptr;
    for (auto _ : state) benchmark::DoNotOptimize(gfx_sprite_draw(&ship, back_surface));
    state.SetItemsProcessed(state.iterations());
    gfx_sprite_destroy(&ship);
}
BENCHMARK(BM_SpriteKeyedBlit44x44);

void BM_ClippedLineAcrossScreen(benchmark::State &state) {
    DisplayUp up;
    LockedBack back;
    uint8_t colour = 0;
    for (auto _ : state) {
        gfx_draw_clipped_line8(-50, 10, 700, 470, colour++, back.mem, back.pitch);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ClippedLineAcrossScreen);

void BM_PlotParticles3000(benchmark::State &state) {
    DisplayUp up;
    struct P {
        int32_t x, y;
        uint8_t colour;
    };
    std::vector<P> particles(3000);
    uint32_t seed = 12345;
    auto next = [&seed]() {
        seed = seed * 214013u + 2531011u;
        return static_cast<int32_t>((seed >> 16) & 0x7FFF);
    };
    // A burst around a ship, a few pieces already off the screen.
    for (P &p : particles) {
        p.x = 320 + next() % 700 - 350;
        p.y = 240 + next() % 520 - 260;
        p.colour = static_cast<uint8_t>(200 + next() % 40);
    }
    LockedBack back;
    for (auto _ : state) {
        for (const P &p : particles)
            if (p.x >= 0 && p.x < 640 && p.y >= 0 && p.y < 480)
                gfx_plot_pixel8(p.x, p.y, p.colour, back.mem, back.pitch);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(particles.size()));
}
BENCHMARK(BM_PlotParticles3000);

} // namespace
