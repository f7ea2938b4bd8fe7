// Keys tapped while the game reads none (menu pauses, explosions) have no effect afterwards.
#include "game_fixture.h"

namespace {

int32_t tap_key = 0;
int32_t taps_left = 0;
bool only_in_explosions = false;

// Runs inside the game's waits: taps the key while it is armed.
void tap_in_wait() {
    if (taps_left <= 0 || (only_in_explosions && !game_explosion_running())) return;
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

// Space would leave the win screen of a deciding hit; Return would fire the next round's first shot.
TEST_F(Taps, KeysTappedDuringAnExplosionDoNotActAfterIt) {
    const struct {
        int32_t rounds, key;
        int screen;
    } cases[] = {{1, DIK_SPACE, GAME_SCREEN_WIN}, {5, DIK_RETURN, GAME_SCREEN_PLAY}};
    for (const auto &c : cases) {
        start_match(c.rounds);
        arm(c.key, 100, true);
        shot_into(ship2);
        frames(1);
        EXPECT_LT(taps_left, 100) << "the explosion waited";
        frames(3);
        EXPECT_EQ(screen(), c.screen);
        EXPECT_EQ(score[0], 1);
        EXPECT_EQ(shot.state, 0);
        TearDown();
        SetUp();
    }
}

TEST_F(Taps, ATapDuringAMenuPauseIsDroppedOneDuringAFrameWaitActsOnce) {
    arm(DIK_RETURN, 1, false); // the first wait is the pause after Down
    hold({DIK_DOWN});
    EXPECT_EQ(taps_left, 0);
    frames(2);
    EXPECT_EQ(ship1.y, 355.0f);
    EXPECT_EQ(screen(), GAME_SCREEN_MENU);
    arm(DIK_RETURN, 1, false);
    frames(1); // the tap falls into this frame's wait
    EXPECT_EQ(screen(), GAME_SCREEN_MENU);
    frames(1);
    EXPECT_EQ(screen(), GAME_SCREEN_OPTIONS);
}

} // namespace
