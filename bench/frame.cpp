// The game's own frame costs on the headless backend with the generated assets: one play
// frame's work before its 33 ms wait, one explosion frame, and a round's set-up.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>

#include "game/game.h"
#include "game/game_internal.h"
#include "platform/plat_headless.h"
#include "input/input.h"
#include "platform/plat_system.h"

namespace {

bool started = false;

// One headless game on the play screen of a five-round match. The virtual clock jumps
// 40 ms a read, so every 33 ms wait ends at its first read and only the work is timed.
bool start_play(benchmark::State &state) {
    std::error_code ec;
    std::filesystem::current_path(std::filesystem::path(QUORVANE_BINARY_DIR) / "assets", ec);
    if (ec) {
        state.SkipWithError("no generated assets: build the assets target first");
        return false;
    }
    plat_headless_reset();
    if (!plat_init() || !plat_window_open("Quorvane", 640, 480, 1)) {
        state.SkipWithError(plat_error());
        return false;
    }
    plat_headless_set_auto_advance(40);
    game_init();
    PlatMessage m{};
    while (plat_message_peek(&m)) {
    }
    rounds_to_play = 5;
    plat_headless_set_key(DIK_RETURN, 1);
    game_frame();
    plat_headless_set_key(DIK_RETURN, 0);
    game_frame();
    started = game_current_screen() == GAME_SCREEN_PLAY;
    if (!started) state.SkipWithError("the match did not start");
    return started;
}

void stop_play() {
    game_shutdown();
    plat_shutdown();
    started = false;
}

// Keeps the match on its play screen: no ship down, nobody near winning.
void keep_playing() {
    ship1_destroyed = ship2_destroyed = 0;
    player1_won = player2_won = 0;
    score[0] = score[1] = 0;
}

void BM_PlayFrameAiming(benchmark::State &state) {
    if (!start_play(state)) return;
    int n = 0;
    for (auto _ : state) {
        // Turning the turret, as a player does most of a match.
        plat_headless_set_key(DIK_UP, (n++ & 16) ? 1 : 0);
        game_frame();
    }
    plat_headless_set_key(DIK_UP, 0);
    stop_play();
}
BENCHMARK(BM_PlayFrameAiming)->Unit(benchmark::kMicrosecond);

void BM_PlayFrameShotInFlight(benchmark::State &state) {
    if (!start_play(state)) return;
    for (auto _ : state) {
        if (shot.state != 1) {
            state.PauseTiming();
            keep_playing();
            // High over the middle, drifting right: a long curving flight.
            shot = Shot{1, 320.0f, 12.0f, 0.6f, 0.0f, SHOT_LIFE};
            state.ResumeTiming();
        }
        game_frame();
    }
    stop_play();
}
BENCHMARK(BM_PlayFrameShotInFlight)->Unit(benchmark::kMicrosecond);

// A hit runs every explosion frame inside one game frame; each timed iteration is that
// frame's cost divided by the frames it presented.
void BM_ExplosionFrame(benchmark::State &state) {
    if (!start_play(state)) return;
    for (auto _ : state) {
        keep_playing();
        current_player = 0;
        shot = Shot{1, game_home_x(&ship2) + 8.0f, game_home_y(&ship2) + 8.0f, 0.0f, 0.0f, 100};
        int32_t before = plat_headless_frame_count();
        auto t0 = std::chrono::steady_clock::now();
        game_frame();
        auto t1 = std::chrono::steady_clock::now();
        int32_t presented = plat_headless_frame_count() - before;
        if (ship2_destroyed != 1 || presented < 2) {
            state.SkipWithError("the shot did not burst the ship");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count() / presented);
    }
    keep_playing();
    stop_play();
}
BENCHMARK(BM_ExplosionFrame)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_NewRound(benchmark::State &state) {
    if (!start_play(state)) return;
    for (auto _ : state) {
        game_destroy_bodies();
        game_new_round();
    }
    stop_play();
}
BENCHMARK(BM_NewRound)->Unit(benchmark::kMicrosecond);

} // namespace
