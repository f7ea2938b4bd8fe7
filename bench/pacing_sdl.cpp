// Frame pacing on the real SDL clock: 1,000 frames of gfx_clock_start ... gfx_clock_wait(33),
// the distribution of their lengths and the CPU the waits take.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

#include "gfx/clock.h"

namespace {

double now_ms(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

void BM_FramePacing(benchmark::State &state) {
    const int frames = 1000;
    std::vector<double> lengths;
    double cpu = 0, wall = 0;
    for (auto _ : state) {
        lengths.clear();
        double cpu0 = now_ms(CLOCK_PROCESS_CPUTIME_ID), wall0 = now_ms(CLOCK_MONOTONIC), last = wall0;
        gfx_clock_start();
        for (int i = 0; i < frames; i++) {
            gfx_clock_wait(33);
            gfx_clock_start();
            double t = now_ms(CLOCK_MONOTONIC);
            lengths.push_back(t - last);
            last = t;
        }
        cpu = now_ms(CLOCK_PROCESS_CPUTIME_ID) - cpu0;
        wall = now_ms(CLOCK_MONOTONIC) - wall0;
    }
    std::sort(lengths.begin(), lengths.end());
    auto share = [&](double lo, double hi) {
        return static_cast<double>(
                   std::count_if(lengths.begin(), lengths.end(), [&](double v) { return v >= lo && v < hi; })) /
               lengths.size();
    };
    state.counters["min_ms"] = lengths.front();
    state.counters["median_ms"] = lengths[lengths.size() / 2];
    state.counters["p99_ms"] = lengths[lengths.size() * 99 / 100];
    state.counters["max_ms"] = lengths.back();
    state.counters["in_33_34_ms"] = share(32.5, 34.0);
    state.counters["cpu_percent"] = 100.0 * cpu / wall;
    std::fprintf(stderr, "frame lengths over %d frames:\n", frames);
    for (double lo = 32.0; lo < 40.0; lo += 0.5)
        std::fprintf(stderr, "  %4.1f-%4.1f ms: %5.1f %%\n", lo, lo + 0.5, 100 * share(lo, lo + 0.5));
    std::fprintf(stderr, "  40 ms or more: %5.1f %%\n", 100 * share(40.0, 1e9));
}
BENCHMARK(BM_FramePacing)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace
