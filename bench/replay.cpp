// Replays: a whole best-of-5 match in the simulator's blind headless game, and what the
// recorder adds to a frame.
#include <benchmark/benchmark.h>

#include "game/game.h"
#include "platform/plat_headless.h"
#include "platform/plat_system.h"
#include "replay/replay.h"
#include "stream/stream.h"

namespace {

// The longest match of the regression recordings: best of 5, 6487 frames, 19 shots.
void BM_ReplayBestOf5(benchmark::State &state) {
    static RplRecording rec;
    char error[RPL_ERROR_MAX];
    if (!rpl_load(QUORVANE_SOURCE_DIR "/tests/replays/bo5-long.qvr", &rec, error, sizeof error)) {
        state.SkipWithError(error);
        return;
    }
    for (auto _ : state) {
        plat_headless_reset();
        plat_init();
        plat_window_open("Quorvane", 640, 480, 1);
        plat_headless_set_blind(1);
        strm_reset();
        RplResult result{};
        if (rpl_play(&rec, &result, error, sizeof error) != 0) state.SkipWithError(error);
        game_shutdown();
        plat_shutdown();
    }
    state.counters["frames"] = rpl_frame_total(&rec);
}
BENCHMARK(BM_ReplayBestOf5)->Unit(benchmark::kMillisecond);

// One frame's key read and quit test, as game_frame makes them, with the recorder watching
// (1) or not (0).
void BM_FrameInput(benchmark::State &state) {
    plat_headless_reset();
    strm_reset();
    char error[RPL_ERROR_MAX];
    const char *path = "/tmp/quorvane-bench-record.qvr";
    if (state.range(0) && !rpl_record_start(path, error, sizeof error)) {
        state.SkipWithError(error);
        return;
    }
    for (auto _ : state) {
        strm_read_keys(STRM_SEAT_PLAYER1);
        benchmark::DoNotOptimize(strm_escape_test());
    }
    if (state.range(0)) rpl_record_abandon();
    strm_reset();
}
BENCHMARK(BM_FrameInput)->Arg(0)->Arg(1);

} // namespace
