// quorvane-sim --computer both: computer against computer, each match a fresh start-up with
// its own seed, one result line a match and a summary line last.
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <vector>

#include "ai/ai.h"
#include "game/game.h"
#include "game/game_internal.h"
#include "platform/plat_headless.h"
#include "platform/plat_system.h"
#include "replay/replay.h"
#include "sim/sim.h"
#include "stream/stream.h"

namespace {

// A match that is still undecided after this many frames (about 50 minutes of play) is cut.
constexpr uint32_t MAX_MATCH_FRAMES = 100000;

uint32_t match_seed;

// Seeds as if the machine had been started match_seed milliseconds earlier: the start-up
// seed is match_seed itself, each round's follows the virtual clock from there.
int32_t seed_from_match(uint32_t live_tick, uint32_t *seed) {
    *seed = match_seed + live_tick;
    return 1;
}

// The people's part in a demonstration: START GAME on the title menu (never the options, so
// matches are the best of 5). The match ends on the win screen, where nothing is pressed.
int32_t menu_keys(int32_t, uint8_t *keys) {
    int32_t screen = game_current_screen();
    int32_t on_start = screen == GAME_SCREEN_MENU && ship1.y == 305.0f;
    *keys = on_start || screen == GAME_SCREEN_OPTIONS || screen == GAME_SCREEN_STORY ? STRM_KEY_RETURN : 0;
    return 1;
}

int32_t ai_level(int32_t app_level) {
    return app_level == APP_LEVEL_EASY ? AI_LEVEL_EASY : app_level == APP_LEVEL_HARD ? AI_LEVEL_HARD : AI_LEVEL_NORMAL;
}

struct MatchCount {
    int32_t winner; // 0, 1, or -1 when cut
    std::vector<int32_t> shots_per_hit;
};

int32_t play_match(const AppOptions *o, uint32_t seed, MatchCount *count) {
    plat_headless_reset();
    if (!plat_init() || !plat_window_open("Quorvane", 640, 480, 0)) {
        std::fprintf(stderr, "quorvane-sim: cannot start the headless platform: %s\n", plat_error());
        return 0;
    }
    strm_reset();
    match_seed = seed;
    strm_set_seed_source(seed_from_match);
    strm_set_seat(STRM_SEAT_MENUS, menu_keys);
    ai_reset();
    for (int32_t p = 0; p < 2; p++) {
        ai_setup(p, ai_level(o->level[p]));
        strm_set_seat(p, ai_keys);
    }
    rpl_fresh_game();
    game_init();

    // Shots each player fired this round; the round a ship went down in is counted once.
    int32_t round_shots[2] = {0, 0}, last_shooter = 0, hit_counted = 0;
    uint32_t fired = shots_fired;
    while (!player1_won && !player2_won && strm_frame_count() < MAX_MATCH_FRAMES) {
        game_frame();
        if (shots_fired != fired) {
            fired = shots_fired;
            last_shooter = strm_current_seat() & 1;
            round_shots[last_shooter]++;
        }
        int32_t down = ship1_destroyed ? 0 : ship2_destroyed ? 1 : -1;
        if (down < 0) {
            if (hit_counted) round_shots[0] = round_shots[1] = 0;
            hit_counted = 0;
        } else if (!hit_counted) {
            hit_counted = 1;
            if (down != last_shooter) count->shots_per_hit.push_back(round_shots[last_shooter]);
        }
    }
    count->winner = player1_won ? 0 : player2_won ? 1 : -1;
    std::printf("result: player1 %d player2 %d frames %u shots %u hash %016" PRIx64 "\n", score[0], score[1],
                strm_frame_count(), shots_fired, game_state_hash());
    std::fflush(stdout);
    game_shutdown();
    plat_shutdown();
    strm_reset();
    ai_reset();
    return 1;
}

// Nearest-rank percentile of a sorted list.
int32_t percentile(const std::vector<int32_t> &sorted, int32_t pct) {
    if (sorted.empty()) return 0;
    size_t rank = (sorted.size() * static_cast<size_t>(pct) + 99) / 100;
    return sorted[rank == 0 ? 0 : rank - 1];
}

} // namespace

int32_t sim_matches(const AppOptions *o) {
    int32_t wins[2] = {0, 0};
    std::vector<int32_t> shots_per_hit;
    for (int32_t m = 0; m < o->matches; m++) {
        MatchCount count{};
        if (!play_match(o, o->seed + static_cast<uint32_t>(m), &count)) return 1;
        if (count.winner >= 0) wins[count.winner]++;
        shots_per_hit.insert(shots_per_hit.end(), count.shots_per_hit.begin(), count.shots_per_hit.end());
    }
    std::sort(shots_per_hit.begin(), shots_per_hit.end());
    std::printf("summary: matches %d player1 %d player2 %d shots-per-hit median %d p90 %d\n", o->matches, wins[0],
                wins[1], percentile(shots_per_hit, 50), percentile(shots_per_hit, 90));
    return 0;
}
