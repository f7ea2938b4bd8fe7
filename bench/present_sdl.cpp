// Presenting one 640x480 8-bit frame through the SDL backend (palette lookup,
// streaming texture, present). Run with SDL_VIDEODRIVER=dummy or under Xvfb.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "platform/plat_system.h"
#include "platform/plat_video.h"

static void BM_PresentSdl(benchmark::State &state)
{
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    if (!plat_init() || !plat_window_open("Quorvane", 640, 480, 0) || !plat_display_open(640, 480, 8)) {
        state.SkipWithError(plat_error());
        return;
    }
    PlatSurface *back = plat_surface_create(640, 480, 8);
    for (size_t i = 0; i < back->pixels.size(); i++)
        back->pixels[i] = (uint8_t)(i * 7);
    PlatColor pal[256];
    for (int i = 0; i < 256; i++)
        pal[i] = PlatColor{(uint8_t)i, (uint8_t)(i * 3), (uint8_t)(255 - i), 0};
    plat_palette_set(0, 256, pal);
    for (auto _ : state)
        benchmark::DoNotOptimize(plat_present(back));
    plat_surface_release(back);
    plat_shutdown();
}
BENCHMARK(BM_PresentSdl)->Unit(benchmark::kMillisecond);
