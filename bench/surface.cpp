// Surface work on the platform: whole-screen fill, palette set, keyed sprite-sized blit.
#include <benchmark/benchmark.h>

#include "platform/plat_headless.h"
#include "platform/plat_system.h"
#include "platform/plat_video.h"

static void BM_FillScreen(benchmark::State &state) {
    PlatSurface *s = plat_surface_create(640, 480, 8);
    for (auto _ : state) benchmark::DoNotOptimize(plat_surface_fill(s, nullptr, 0));
    plat_surface_release(s);
}
BENCHMARK(BM_FillScreen)->Unit(benchmark::kMicrosecond);

static void BM_PaletteSetAll(benchmark::State &state) {
    PlatColor pal[256] = {};
    for (auto _ : state) {
        pal[0].r++;
        benchmark::DoNotOptimize(plat_palette_set(0, 256, pal));
    }
}
BENCHMARK(BM_PaletteSetAll)->Unit(benchmark::kMicrosecond);

static void BM_KeyedBlit44(benchmark::State &state) {
    PlatSurface *dst = plat_surface_create(640, 480, 8);
    PlatSurface *src = plat_surface_create(44, 44, 8);
    for (size_t i = 0; i < src->pixels.size(); i++) src->pixels[i] = static_cast<uint8_t>((i % 3) ? i : 0);
    plat_surface_set_color_key(src, 0, 0);
    PlatRect clip{0, 0, 640, 480};
    plat_surface_set_clip_list(dst, &clip, 1);
    PlatRect at{300, 200, 344, 244};
    for (auto _ : state) benchmark::DoNotOptimize(plat_surface_blit(dst, &at, src, nullptr, 1));
    plat_surface_release(src);
    plat_surface_release(dst);
}
BENCHMARK(BM_KeyedBlit44)->Unit(benchmark::kMicrosecond);
