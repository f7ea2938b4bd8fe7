// The computer player: its flight copy against the live step, its strength on fixed layouts,
// the keys it presses and the game's numbers it must leave alone.
#include "ai_fixture.h"

#include <tuple>
#include <vector>

using aitest::AiGame;

namespace {

constexpr uint32_t LAYOUT_SEEDS[] = {11, 222, 3333, 44444, 5, 606, 7077, 88, 909, 1010};

// The copy keeps the live shot's numbers bit for bit at every step, to the same end.
TEST_F(AiGame, FlightCopyFollowsTheLiveShotStepByStep) {
    struct Aim {
        int32_t angle, power;
    };
    const Aim aims[] = {{360, 700}, {180, 700}, {30, 400}, {330, 250}, {90, 50}, {200, 1000}, {275, 0}};
    int32_t ends_seen[4] = {0, 0, 0, 0};
    for (uint32_t seed : LAYOUT_SEEDS) {
        round_from_seed(seed);
        for (int32_t player = 0; player < 2; player++) {
            std::vector<Aim> tries(std::begin(aims), std::end(aims));
            FlightLayout layout = searched(player);
            AiAim found[3];
            int32_t n = ai_plan_hits(player, found, 3);
            for (int32_t i = 0; i < n; i++) tries.push_back({found[i].angle, found[i].power});
            for (const Aim &aim : tries) {
                SCOPED_TRACE(testing::Message()
                             << "seed " << seed << " player " << player << " aim " << aim.angle << "/" << aim.power);
                current_player = static_cast<uint8_t>(player);
                Shot copy{};
                game_fire_shot(aim.angle, static_cast<float>(aim.power * POWER_SCALE));
                ai_fire(&layout, player, aim.angle, aim.power, &copy);
                int32_t end = AI_END_NONE;
                for (int32_t step = 0; end == AI_END_NONE; step++) {
                    ASSERT_EQ(std::tie(shot.x, shot.y, shot.vx, shot.vy, shot.life),
                              std::tie(copy.x, copy.y, copy.vx, copy.vy, copy.life))
                        << "step " << step;
                    current_player = static_cast<uint8_t>(player);
                    game_step_shot();
                    end = ai_step(&layout, player, &copy);
                    ASSERT_EQ(shot.state == 0, end != AI_END_NONE) << "step " << step;
                }
                int32_t down = ship1_destroyed ? 0 : ship2_destroyed ? 1 : -1;
                EXPECT_EQ(end, down < 0 ? AI_END_MISS : down == player ? AI_END_OWN : AI_END_OTHER);
                ends_seen[end]++;
                clear_hits();
            }
        }
    }
    EXPECT_GT(ends_seen[AI_END_MISS], 0);
    EXPECT_GT(ends_seen[AI_END_OTHER], 0);
}

// Hard: a hit within the first two shots in most layouts and within four in nearly all,
// judged by the live game's shot.
TEST_F(AiGame, HardHitsWithinTwoShotsInMostLayouts) {
    int32_t cases = 0, within2 = 0, within4 = 0;
    for (uint32_t seed = 100; seed < 130; seed++) {
        round_from_seed(seed * 7919u);
        for (int32_t player = 0; player < 2; player++) {
            FlightLayout layout = searched(player);
            AiAim target;
            ai_choose_target(player, AI_LEVEL_HARD, angle[player], power[player], &target);
            AiAimer aimer;
            ai_aimer_begin(&aimer, &layout, player, AI_LEVEL_HARD);
            int32_t shots = 0, hit = 0;
            while (!hit && shots < 10) {
                int32_t a = 0, pw = 0;
                ai_aim_with_error(&aimer, &layout, player, AI_LEVEL_HARD, &target, &a, &pw);
                shots++;
                hit = live_flight(player, a, pw) == 1 - player;
            }
            cases++;
            within2 += hit && shots <= 2;
            within4 += hit && shots <= 4;
        }
    }
    EXPECT_GT(within2 * 2, cases) << within2 << " of " << cases;
    EXPECT_GE(within4 * 10, cases * 9) << within4 << " of " << cases;
}

// Each level's first shot misses by its own error, larger for lower levels, and the misses
// close in from alternate sides.
TEST_F(AiGame, LevelsDifferByErrorAndBracketTheirMisses) {
    round_from_seed(4242);
    FlightLayout layout = searched(0);
    AiAim target{100, 500, 1, 0.0f, 0};
    float first[3] = {0, 0, 0};
    for (int32_t level = AI_LEVEL_EASY; level <= AI_LEVEL_HARD; level++) {
        float sum = 0.0f;
        for (uint32_t k = 0; k < 20; k++) {
            layout.ship_y[0] = 100.0f + static_cast<float>(k); // another layout, other numbers
            AiAimer aimer;
            ai_aimer_begin(&aimer, &layout, 0, level);
            int32_t a = 0, pw = 0;
            ai_aim_with_error(&aimer, &layout, 0, level, &target, &a, &pw);
            float last = aimer.error[0];
            sum += last < 0 ? -last : last;
            for (int32_t shot_no = 1; shot_no < 4; shot_no++) {
                ai_aim_with_error(&aimer, &layout, 0, level, &target, &a, &pw);
                EXPECT_LT(aimer.error[0] * last, 0.0f) << "level " << level << " shot " << shot_no;
                EXPECT_LT(std::abs(aimer.error[0]), std::abs(last));
                last = aimer.error[0];
            }
        }
        first[level] = sum / 20.0f;
    }
    EXPECT_GT(first[AI_LEVEL_EASY], first[AI_LEVEL_NORMAL]);
    EXPECT_GT(first[AI_LEVEL_NORMAL], first[AI_LEVEL_HARD]);
    EXPECT_GE(first[AI_LEVEL_HARD], 1.0f);
}

// What the computer pressed, frame by frame, and what it did to the game's numbers.
struct Pressed {
    int32_t seat;
    uint8_t keys;
    int32_t shot_state;
    int64_t steps;
};
std::vector<Pressed> pressed;
int32_t rand_changed;

int32_t watched_ai(int32_t seat, uint8_t *keys) {
    uint32_t before = plat_rand_state();
    int64_t steps = ai_plan_steps(seat & 1);
    int32_t in_flight = shot.state;
    int32_t ok = ai_keys(seat, keys);
    if (plat_rand_state() != before) rand_changed++;
    pressed.push_back({seat, *keys, in_flight, ai_plan_steps(seat & 1) - steps});
    return ok;
}

int32_t start_game(int32_t, uint8_t *keys) {
    *keys = game_current_screen() == GAME_SCREEN_MENU ? STRM_KEY_RETURN : 0;
    return 1;
}

// A hard match played through the game's frames: the keys follow the one-step rule, fire once
// a turn, the search stays within its budget, and the game's generator is left alone.
TEST_F(AiGame, KeysFollowTheRulesAndTheGameNumbersStayAlone) {
    pressed.clear();
    rand_changed = 0;
    for (int32_t p = 0; p < 2; p++) {
        ai_setup(p, AI_LEVEL_HARD);
        strm_set_seat(p, watched_ai);
    }
    strm_set_seat(STRM_SEAT_MENUS, start_game);
    for (int32_t f = 0; f < 60000 && !player1_won && !player2_won; f++) game_frame();
    ASSERT_TRUE(player1_won || player2_won) << "no winner";
    EXPECT_EQ(rand_changed, 0);

    uint8_t menu_keys = 0xFF;
    ai_keys(STRM_SEAT_MENUS, &menu_keys);
    EXPECT_EQ(menu_keys, 0) << "the menus are the people's";

    int32_t turns = 0, fired = 0;
    int64_t turn_steps = 0;
    for (size_t i = 0; i < pressed.size(); i++) {
        const Pressed &p = pressed[i];
        uint8_t k = p.keys;
        EXPECT_FALSE((k & STRM_KEY_LEFT) && (k & STRM_KEY_RIGHT));
        EXPECT_FALSE((k & STRM_KEY_UP) && (k & STRM_KEY_DOWN));
        EXPECT_EQ(k & (STRM_KEY_SPACE | STRM_KEY_ESCAPE), 0);
        if (k & STRM_KEY_RETURN) {
            EXPECT_EQ(k, STRM_KEY_RETURN) << "Return alone, with the aim standing";
        }
        if (p.shot_state == 1) {
            EXPECT_EQ(k, 0) << "nothing while the shot flies";
        }
        EXPECT_LE(p.steps, AI_FRAME_STEPS + SHOT_LIFE) << "frame " << i;
        bool turn_start =
            p.shot_state == 0 && (i == 0 || pressed[i - 1].shot_state == 1 || pressed[i - 1].seat != p.seat);
        if (turn_start) {
            turns++;
            turn_steps = 0;
            EXPECT_EQ(k, 0) << "the first frame of a turn is for thinking";
        }
        turn_steps += p.steps;
        EXPECT_LE(turn_steps, AI_TURN_STEPS + SHOT_LIFE);
        fired += k == STRM_KEY_RETURN;
    }
    EXPECT_EQ(fired, static_cast<int32_t>(shots_fired));
    EXPECT_GE(turns, fired);
    EXPECT_GE(fired, 3); // three rounds won at the least
}

} // namespace
