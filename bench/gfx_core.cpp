// Per-frame costs of the display core on the headless backend.
#include <benchmark/benchmark.h>

#include "gfx/display.h"
#include "gfx/palette.h"
#include "bench/bench_display.h"
#include "platform/plat_headless.h"

namespace {

void BM_FillBackSurface(benchmark::State &state) {
    DisplayUp up;
    uint32_t colour = 0;
    for (auto _ : state) {
        gfx_fill_surface(back_surface, colour++, nullptr);
        benchmark::DoNotOptimize(back_surface->pixels.data());
    }
}
BENCHMARK(BM_FillBackSurface);

void BM_PaletteSetAll(benchmark::State &state) {
    DisplayUp up;
    PaletteEntry pal[256];
    for (int i = 0; i < 256; i++)
        pal[i] = PaletteEntry{static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i), 0};
    for (auto _ : state) {
        pal[0].red++;
        gfx_palette_set_all(pal);
    }
}
BENCHMARK(BM_PaletteSetAll);

void BM_Flip(benchmark::State &state) {
    DisplayUp up;
    for (auto _ : state) benchmark::DoNotOptimize(gfx_flip());
}
BENCHMARK(BM_Flip);

} // namespace
