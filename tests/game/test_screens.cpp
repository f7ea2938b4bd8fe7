// Title menu, options, story and win screens; Escape and the window procedure.
#include "harness.h"

#include <algorithm>
#include <cstring>

using harness::frames;
using harness::GameTest;
using harness::hold;

namespace {

class Screens : public GameTest {};

TEST_F(Screens, StartsOnTheMenuWithShipsAsCursorMarks) {
    EXPECT_EQ(game_current_screen(), GAME_SCREEN_MENU);
    EXPECT_FLOAT_EQ(ship1.x, 230.0f);
    EXPECT_FLOAT_EQ(ship1.y, 305.0f);
    EXPECT_FLOAT_EQ(ship2.x, 390.0f);
    EXPECT_FLOAT_EQ(ship2.y, 305.0f);
    EXPECT_EQ(ship1.int_vars[0], 0);
    EXPECT_EQ(ship2.int_vars[0], 8);
    EXPECT_EQ(score[0], 0);
    EXPECT_EQ(score[1], 0);
    EXPECT_EQ(rounds_to_play, 5);
    frames(1);
    EXPECT_EQ(plat_headless_frame_count(), 1);
}

TEST_F(Screens, MenuCursorStaysWithin305And455AndPausesEveryPress) {
    for (int i = 0; i < 5; i++) hold(DIK_DOWN);
    EXPECT_FLOAT_EQ(ship1.y, 455.0f);
    EXPECT_FLOAT_EQ(ship2.y, 455.0f);
    for (int i = 0; i < 5; i++) hold(DIK_UP);
    EXPECT_FLOAT_EQ(ship1.y, 305.0f);
    // At the top, Up still pauses 200 ms (the frame's own 33 ms are spent inside it).
    uint32_t before = plat_headless_now();
    hold(DIK_UP);
    EXPECT_GE(plat_headless_now() - before, 200u);
    EXPECT_FLOAT_EQ(ship1.y, 305.0f);
}

TEST_F(Screens, UpWinsOverDownInOneFrame) {
    hold(DIK_DOWN);
    plat_headless_set_key(DIK_UP, 1);
    plat_headless_set_key(DIK_DOWN, 1);
    frames(1);
    harness::release_all();
    EXPECT_FLOAT_EQ(ship1.y, 305.0f);
}

TEST_F(Screens, ReturnActsOnTheCursorMovedInTheSameFrame) {
    plat_headless_set_key(DIK_DOWN, 1);
    plat_headless_set_key(DIK_RETURN, 1);
    frames(1);
    harness::release_all();
    EXPECT_EQ(options_active, 1);
    EXPECT_EQ(game_current_screen(), GAME_SCREEN_OPTIONS);
    EXPECT_FLOAT_EQ(ship1.y, 305.0f);
}

TEST_F(Screens, OptionsCursorStopsAt405AndEachItemSetsItsRoundCount) {
    const struct {
        int downs;
        int32_t rounds;
    } items[] = {{0, 1}, {1, 3}, {2, 5}, {5, 5}};
    for (const auto &item : items) {
        hold(DIK_DOWN);
        hold(DIK_RETURN);
        ASSERT_EQ(game_current_screen(), GAME_SCREEN_OPTIONS);
        for (int i = 0; i < item.downs; i++) hold(DIK_DOWN);
        EXPECT_LE(ship1.y, 405.0f);
        hold(DIK_RETURN);
        EXPECT_EQ(rounds_to_play, item.rounds);
        EXPECT_EQ(game_current_screen(), GAME_SCREEN_MENU);
        EXPECT_FLOAT_EQ(ship1.y, 305.0f) << "back on START GAME";
        EXPECT_FLOAT_EQ(ship2.y, 305.0f);
    }
}

TEST_F(Screens, ReturnOffTheOptionsItemsDoesNothing) {
    hold(DIK_DOWN);
    hold(DIK_RETURN);
    ship1.y = ship2.y = 330.0f;
    hold(DIK_RETURN);
    EXPECT_EQ(options_active, 1);
    EXPECT_EQ(rounds_to_play, 5);
}

TEST_F(Screens, StoryOpensFromInstructionsAndReturnsToStartGame) {
    for (int i = 0; i < 3; i++) hold(DIK_DOWN);
    hold(DIK_RETURN);
    EXPECT_EQ(game_current_screen(), GAME_SCREEN_STORY);
    EXPECT_FLOAT_EQ(ship1.y, 305.0f);
    frames(1);
    EXPECT_STREQ(screen_text, story_lines[18]);
    hold(DIK_RETURN);
    EXPECT_EQ(game_current_screen(), GAME_SCREEN_MENU);
    EXPECT_FLOAT_EQ(ship1.y, 305.0f);
}

TEST_F(Screens, StoryLinesFitTheScreenAndKeepTheInstructions) {
    EXPECT_STREQ(story_lines[0], "STORY:");
    EXPECT_STREQ(story_lines[13], "INSTRUCTIONS:");
    EXPECT_STREQ(story_lines[14], "Player 1 is the ship on the left of the screen. Player 2 is the ship on the right.");
    EXPECT_STREQ(story_lines[18],
                 "accordingly. By default you must win the best of 5 rounds to win the game against your opponent.");
    int widest_instruction = 0;
    for (int k = 14; k <= 18; k++) widest_instruction = std::max(widest_instruction, plat_text_width(story_lines[k]));
    for (int k = 1; k <= 12; k++) {
        EXPECT_LE(std::strlen(story_lines[k]), 100u) << k;
        EXPECT_GT(std::strlen(story_lines[k]), 40u) << k;
        EXPECT_LE(plat_text_width(story_lines[k]), widest_instruction) << story_lines[k];
    }
    // Every line, the fixed instructions too, ends inside the 640 px screen.
    for (int k = 0; k < STORY_LINE_COUNT; k++) {
        int w = plat_text_width(story_lines[k]);
        if (w < 0) continue; // no font on this machine
        EXPECT_LT(10 + w, 640) << story_lines[k];
    }
}

TEST_F(Screens, QuitItemRequestsTheEndAtOnceWithoutAPause) {
    hold(DIK_DOWN);
    hold(DIK_DOWN);
    plat_headless_set_key(DIK_RETURN, 1);
    frames(1);
    harness::release_all();
    EXPECT_EQ(quit_requested, 1);
    auto msgs = harness::drain_messages();
    ASSERT_FALSE(msgs.empty());
    EXPECT_EQ(msgs[0].type, PLAT_MSG_DESTROY);
}

// Escape ends the game from every screen, and only one fade runs however long it is held.
TEST_F(Screens, EscapeQuitsFromEveryScreen) {
    struct Setup {
        const char *name;
        void (*enter)();
        int32_t screen;
    };
    const Setup setups[] = {
        {"menu", [] {}, GAME_SCREEN_MENU},
        {"options", [] { options_active = 1; }, GAME_SCREEN_OPTIONS},
        {"story", [] { story_active = 1; }, GAME_SCREEN_STORY},
        {"play", [] { harness::start_match(); }, GAME_SCREEN_PLAY},
        {"win", [] { harness::start_match(); menu_active = 0; player2_won = 1; }, GAME_SCREEN_WIN},
    };
    for (const Setup &s : setups) {
        SCOPED_TRACE(s.name);
        restart_in({});
        s.enter();
        ASSERT_EQ(game_current_screen(), s.screen);
        harness::drain_messages();
        plat_headless_set_escape(1);
        frames(1);
        EXPECT_EQ(quit_requested, 1);
        auto msgs = harness::drain_messages();
        ASSERT_EQ(msgs.size(), 1u);
        EXPECT_EQ(msgs[0].type, PLAT_MSG_DESTROY);
        // Held on: no second request, no second fade.
        frames(2);
        EXPECT_TRUE(harness::drain_messages().empty());
        plat_headless_set_escape(0);
        // The keyboard's own Escape works too.
        restart_in({});
        s.enter();
        harness::drain_messages();
        hold(DIK_ESCAPE);
        EXPECT_EQ(quit_requested, 1);
    }
}

TEST_F(Screens, WindowProcTurnsDestroyIntoQuitZero) {
    PlatMessage paint{PLAT_MSG_PAINT, 0, 0};
    EXPECT_EQ(game_window_proc(&paint), 0);
    PlatMessage destroy{PLAT_MSG_DESTROY, 0, 0};
    EXPECT_EQ(game_window_proc(&destroy), 0);
    // A destroy from outside (close button, SIGTERM) counts as a quit, fade included.
    EXPECT_EQ(quit_requested, 1);
    auto msgs = harness::drain_messages();
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_EQ(msgs[0].type, PLAT_MSG_QUIT);
    EXPECT_EQ(msgs[0].wparam, 0);
}

TEST_F(Screens, PauseBusyWaitsOnTheProcessClock) {
    uint32_t before = plat_process_ms();
    plat_headless_set_key(DIK_RETURN, 1);
    game_pause(200);
    EXPECT_GE(plat_process_ms() - before, 200u);
    before = plat_process_ms();
    game_pause(0);
    EXPECT_LT(plat_process_ms() - before, 5u);
}

TEST_F(Screens, EveryFrameLastsAtLeast33Ms) {
    for (int i = 0; i < 5; i++) {
        uint32_t before = plat_headless_now();
        frames(1);
        EXPECT_GE(plat_headless_now() - before, 33u);
    }
}

TEST_F(Screens, SpaceOnTheWinScreenGoesBackToTheMenu) {
    harness::start_match(1);
    harness::hit_and_settle(ship2);
    ASSERT_EQ(game_current_screen(), GAME_SCREEN_WIN);
    frames(1);
    EXPECT_EQ(game_current_screen(), GAME_SCREEN_WIN) << "stays until Space";
    hold(DIK_SPACE);
    EXPECT_EQ(game_current_screen(), GAME_SCREEN_MENU);
    EXPECT_FLOAT_EQ(ship1.x, 230.0f);
    EXPECT_FLOAT_EQ(ship1.y, 305.0f);
    EXPECT_FLOAT_EQ(ship2.x, 390.0f);
    EXPECT_FLOAT_EQ(ship2.y, 305.0f);
    EXPECT_EQ(player1_won, 0);
}

} // namespace
