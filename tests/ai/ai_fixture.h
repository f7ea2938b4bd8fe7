// A headless game for the computer player's tests: fixed round layouts and the live shot.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>

#include "ai/ai.h"
#include "game/game.h"
#include "game/game_internal.h"
#include "platform/plat_headless.h"
#include "platform/plat_system.h"
#include "stream/stream.h"

namespace aitest {

inline uint32_t layout_seed;
inline int32_t fixed_seed(uint32_t, uint32_t *seed) {
    *seed = layout_seed;
    return 1;
}

class AiGame : public ::testing::Test {
protected:
    void SetUp() override {
        plat_headless_reset();
        ASSERT_EQ(plat_init(), 1);
        ASSERT_EQ(plat_window_open("Quorvane", 640, 480, 0), 1);
        strm_reset();
        ai_reset();
        menu_active = 1;
        options_active = story_active = 0;
        rounds_to_play = 5;
        score[0] = score[1] = 0;
        clear_hits();
        game_init();
    }
    void TearDown() override {
        game_shutdown();
        plat_shutdown();
        strm_reset();
        ai_reset();
    }

    // The play screen of a round laid out from seed, player 1 in turn.
    static void round_from_seed(uint32_t seed) {
        layout_seed = seed;
        strm_set_seed_source(fixed_seed);
        game_destroy_bodies();
        game_new_round();
        strm_set_seed_source(nullptr);
        menu_active = 0;
        game_reset_shot();
        clear_hits();
    }

    // No ship down, no explosion running.
    static void clear_hits() {
        ship1_destroyed = ship2_destroyed = 0;
        for (Particle &p : particles) p = Particle{};
    }

    // The live game fires for player and flies the shot out: the ship that went down, or -1.
    static int32_t live_flight(int32_t player, int32_t a, int32_t pw) {
        current_player = static_cast<uint8_t>(player);
        game_fire_shot(a, static_cast<float>(pw * POWER_SCALE));
        while (shot.state == 1) game_step_shot();
        int32_t down = ship1_destroyed ? 0 : ship2_destroyed ? 1 : -1;
        clear_hits();
        return down;
    }

    // The search run out for player over the round on screen.
    static FlightLayout searched(int32_t player) {
        FlightLayout layout;
        game_read_layout(&layout);
        ai_plan_begin(&layout, player);
        while (!ai_plan_work(player, AI_FRAME_STEPS) && ai_plan_steps(player) < AI_TURN_STEPS) {
        }
        return layout;
    }
};

} // namespace aitest
