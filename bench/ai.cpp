// The computer player's think time: one turn's whole search at hard, sliced as the game
// slices it a frame at a time, over rounds laid out from fixed seeds; one flight copy; and
// the shots each level needs on the same rounds.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <vector>

#include "ai/ai.h"
#include "game/game.h"
#include "game/game_internal.h"
#include "platform/plat_headless.h"
#include "platform/plat_system.h"
#include "stream/stream.h"

namespace {

constexpr int32_t LAYOUTS = 200;
uint32_t layout_seed;

int32_t fixed_seed(uint32_t, uint32_t *seed) {
    *seed = layout_seed;
    return 1;
}

// Round layouts from seeds 1000 + 7919 k, read once from a headless game.
const std::vector<FlightLayout> &layouts() {
    static std::vector<FlightLayout> all;
    if (!all.empty()) return all;
    plat_headless_reset();
    plat_init();
    plat_window_open("Quorvane", 640, 480, 0);
    strm_reset();
    strm_set_seed_source(fixed_seed);
    game_init();
    for (int32_t k = 0; k < LAYOUTS; k++) {
        layout_seed = 1000u + 7919u * static_cast<uint32_t>(k);
        game_destroy_bodies();
        game_new_round();
        FlightLayout l;
        game_read_layout(&l);
        all.push_back(l);
    }
    game_shutdown();
    plat_shutdown();
    strm_reset();
    return all;
}

double thread_cpu_ms() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// One turn's search, frame slice by frame slice: the time per turn, the longest slice seen
// (the most a frame spends thinking) and the longest turn.
void BM_SearchTurnHard(benchmark::State &state) {
    const std::vector<FlightLayout> &all = layouts();
    size_t k = 0;
    double worst_slice = 0.0, worst_turn = 0.0;
    int64_t steps = 0, slices = 0, turns = 0;
    for (auto _ : state) {
        const FlightLayout &l = all[k % all.size()];
        int32_t player = static_cast<int32_t>((k / all.size()) & 1);
        k++;
        double turn_start = thread_cpu_ms();
        ai_plan_begin(&l, player);
        int32_t done = 0;
        while (!done && ai_plan_steps(player) < AI_TURN_STEPS) {
            double t0 = thread_cpu_ms();
            done = ai_plan_work(player, AI_FRAME_STEPS);
            double t1 = thread_cpu_ms();
            if (t1 - t0 > worst_slice) worst_slice = t1 - t0;
            slices++;
        }
        AiAim target;
        ai_choose_target(player, AI_LEVEL_HARD, player ? 180 : 360, 100, &target);
        benchmark::DoNotOptimize(target);
        double turn = thread_cpu_ms() - turn_start;
        if (turn > worst_turn) worst_turn = turn;
        steps += ai_plan_steps(player);
        turns++;
    }
    state.counters["max_slice_ms"] = worst_slice;
    state.counters["max_turn_ms"] = worst_turn;
    state.counters["slices_per_turn"] = static_cast<double>(slices) / static_cast<double>(turns);
    state.counters["steps_per_turn"] = static_cast<double>(steps) / static_cast<double>(turns);
}
BENCHMARK(BM_SearchTurnHard)->Unit(benchmark::kMillisecond)->Iterations(2 * LAYOUTS);

// One whole flight of the copy: a shot straight across at high power.
void BM_FlightCopy(benchmark::State &state) {
    const FlightLayout &l = layouts()[0];
    int64_t steps = 0;
    for (auto _ : state) {
        AiFlight f;
        ai_fly(&l, 0, 360, static_cast<int32_t>(state.range(0)), &f);
        benchmark::DoNotOptimize(f);
        steps += f.steps;
    }
    state.counters["ns_per_step"] =
        benchmark::Counter(static_cast<double>(steps), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_FlightCopy)->Arg(200)->Arg(800);

// Strength, not time: shots each level needs to hit, alone against the other ship, over every
// layout for both players (the shooter's shots counted up to and including the hit).
void BM_ShotsToHit(benchmark::State &state) {
    const std::vector<FlightLayout> &all = layouts();
    int32_t level = static_cast<int32_t>(state.range(0));
    std::vector<int32_t> shots;
    for (auto _ : state) {
        shots.clear();
        for (const FlightLayout &l : all) {
            for (int32_t player = 0; player < 2; player++) {
                ai_plan_begin(&l, player);
                while (!ai_plan_work(player, AI_FRAME_STEPS) && ai_plan_steps(player) < AI_TURN_STEPS) {
                }
                AiAim target;
                ai_choose_target(player, level, player ? 180 : 360, 100, &target);
                AiAimer aimer;
                ai_aimer_begin(&aimer, &l, player, level);
                int32_t n = 0, hit = 0;
                while (!hit && n < 50) {
                    int32_t a = 0, pw = 0;
                    ai_aim_with_error(&aimer, &l, player, level, &target, &a, &pw);
                    AiFlight f;
                    ai_fly(&l, player, a, pw, &f);
                    hit = f.end == AI_END_OTHER;
                    n++;
                }
                shots.push_back(n);
            }
        }
    }
    std::sort(shots.begin(), shots.end());
    auto rank = [&](size_t pct) { return static_cast<double>(shots[(shots.size() * pct + 99) / 100 - 1]); };
    state.counters["median_shots"] = rank(50);
    state.counters["p90_shots"] = rank(90);
    state.counters["max_shots"] = static_cast<double>(shots.back());
}
BENCHMARK(BM_ShotsToHit)->DenseRange(AI_LEVEL_EASY, AI_LEVEL_HARD)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
