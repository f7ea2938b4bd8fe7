// Keys tapped while the game reads none (menu pauses, explosions) have no effect afterwards.
#include "game_fixture.h"

namespace {

int32_t tap_key = 0;
int32_t taps_left = 0;
bool only_in_explosions = false;

// Runs inside the game's waits: taps the key while it is armed.
void tap_in_wait() {
    if (taps_left <= 0 || (only_in_explosions && particles[0].state != 1)) return;
    taps_left--;
    plat_headless_tap_key(tap_key);
}

class Taps : public Game {
protected:
    void arm(int32_t key, int32_t count, bool explosions) {
        tap_key = key;
        taps_left = count;
        only_in_explosions = explosions;
        plat_headless_set_wait_hook(tap_in_wait);
    }
    void TearDown() override {
        plat_headless_set_wait_hook(nullptr);
        Game::TearDown();
    }
};

TEST_F(Taps, SpaceDuringTheDecidingExplosionLeavesTheWinScreenUp) {
    start_match(1);
    arm(DIK_SPACE, 100, true);
    shot_into(ship2);
    frames(1);
    EXPECT_LT(taps_left, 100) << "the explosion waited";
    frames(3);
    EXPECT_EQ(game_current_screen(), GAME_SCREEN_WIN);
}

TEST_F(Taps, ReturnDuringAnExplosionDoesNotFireTheNextRound) {
    start_match(5);
    arm(DIK_RETURN, 100, true);
    shot_into(ship2);
    frames(3);
    EXPECT_EQ(game_current_screen(), GAME_SCREEN_PLAY);
    EXPECT_EQ(score[0], 1);
    EXPECT_EQ(shot.state, 0);
}

TEST_F(Taps, ReturnDuringTheMenuPauseDoesNotChooseAfterIt) {
    arm(DIK_RETURN, 1, false); // the first wait is the pause after Down
    hold({DIK_DOWN});
    EXPECT_EQ(taps_left, 0);
    frames(2);
    EXPECT_EQ(ship1.y, 355.0f);
    EXPECT_EQ(game_current_screen(), GAME_SCREEN_MENU);
}

TEST_F(Taps, ATapDuringAFrameWaitStillActsOnce) {
    hold({DIK_DOWN}); // cursor to GAME OPTIONS
    arm(DIK_RETURN, 1, false);
    frames(1); // the tap falls into this frame's wait
    EXPECT_EQ(game_current_screen(), GAME_SCREEN_MENU);
    frames(1);
    EXPECT_EQ(game_current_screen(), GAME_SCREEN_OPTIONS);
}

} // namespace
