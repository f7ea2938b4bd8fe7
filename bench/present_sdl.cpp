// Presenting one 640x480 8-bit frame through the SDL backend at 1x, 2x and 3x, by each path:
// our own scaling into SDL's window surface (QUORVANE_X11_PRESENT=0), into our own X11
// shared-memory buffers (the default on X11), SDL's software renderer, SDL's GL renderer. Every iteration shows a frame
// whose pixels all differ from the last one (the worst case; unchanged parts are normally not sent). Run under Xvfb for
// real figures; with SDL_VIDEODRIVER=dummy it measures only our side.
#include <benchmark/benchmark.h>

#include <SDL.h>
#include <chrono>
#include <cstdlib>

#include "platform/plat_system.h"
#include "platform/plat_video.h"

namespace {

struct Path {
    const char *label, *render_driver, *x11_present;
};
const Path PATHS[] = {
    {"window surface", "", "0"}, {"own X11", "", "1"}, {"software", "software", "0"}, {"opengl", "opengl", "0"}};

void BM_PresentSdl(benchmark::State &state) {
    const Path &path = PATHS[state.range(0)];
    const int k = static_cast<int>(state.range(1));
    setenv("SDL_VIDEODRIVER", std::getenv("DISPLAY") ? "x11" : "dummy", 0);
    setenv("QUORVANE_X11_PRESENT", path.x11_present, 1);
    if (*path.render_driver) {
        setenv("SDL_RENDER_DRIVER", path.render_driver, 1);
        setenv("SDL_FRAMEBUFFER_ACCELERATION", "0", 1);
    } else {
        unsetenv("SDL_RENDER_DRIVER");
    }
    // One platform start for the whole run: the window and display are what is measured.
    static int started = plat_init();
    if (!started || !plat_window_open("Quorvane", 640 * k, 480 * k, 0) || !plat_display_open(640, 480, 8)) {
        state.SkipWithError(plat_error());
        plat_window_close();
        return;
    }
    PlatSurface *frames[2] = {plat_surface_create(640, 480, 8), plat_surface_create(640, 480, 8)};
    for (size_t i = 0; i < frames[0]->pixels.size(); i++) {
        frames[0]->pixels[i] = static_cast<uint8_t>(i * 7);
        frames[1]->pixels[i] = static_cast<uint8_t>(i * 7 + 1);
    }
    PlatColor pal[256];
    for (int i = 0; i < 256; i++)
        pal[i] = PlatColor{static_cast<uint8_t>(i), static_cast<uint8_t>(i * 3), static_cast<uint8_t>(255 - i), 0};
    plat_palette_set(0, 256, pal);
    plat_present(frames[1]);
    const bool paced = state.range(2) != 0;
    int n = 0;
    for (auto _ : state) {
        if (paced) SDL_Delay(33);
        auto t0 = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(plat_present(frames[n++ & 1]));
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    state.SetLabel(std::string(path.label) + " " + std::to_string(k) + "x");
    plat_surface_release(frames[0]);
    plat_surface_release(frames[1]);
    plat_display_close();
    plat_window_close();
    unsetenv("SDL_RENDER_DRIVER");
}
BENCHMARK(BM_PresentSdl)
    ->ArgsProduct({{0, 1, 2, 3}, {1, 2, 3, 4}, {0}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0);
BENCHMARK(BM_PresentSdl)
    ->ArgsProduct({{0, 1}, {1, 2, 3, 4}, {1}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(150);

} // namespace
