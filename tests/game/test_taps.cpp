// Keys tapped while the game reads none (menu pauses, explosions) have no effect afterwards.
#include "game_fixture.h"

namespace {

int32_t tap_key = 0;
int32_t taps_left = 0;
bool only_in_explosions = false;
uint32_t tapped_at = 0; // the virtual clock at the last tap

// Runs inside the game's waits: taps the key while it is armed.
void tap_in_wait() {
    if (taps_left <= 0 || (only_in_explosions && !game_explosion_running())) return;
    taps_left--;
    tapped_at = plat_headless_now();
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

// The computer's seat: it holds no key while it thinks.
int32_t computer_thinking(int32_t, uint8_t *keys) {
    *keys = 0;
    return 1;
}

// An Escape tap quits, faded, within 1.2 s, whoever has the say and whatever the frame was doing:
// none of these frames reads the local keyboard after the tap, and a pause or an explosion would
// otherwise hold the quit back.
TEST_F(Taps, AnEscapeTapQuitsWithinItsFrameFromEveryStretch) {
    enum Where {
        MENU_PAUSE,
        EXPLOSION,
        COMPUTER_TURN,
        STORY_PAUSE
    };
    for (Where where : {MENU_PAUSE, EXPLOSION, COMPUTER_TURN, STORY_PAUSE}) {
        SCOPED_TRACE(where);
        if (where == EXPLOSION) {
            start_match(5);
            arm(DIK_ESCAPE, 1, true); // in the burst's first frame
            shot_into(ship2);
            frames(1);
        } else if (where == COMPUTER_TURN) {
            strm_set_seat(STRM_SEAT_PLAYER2, computer_thinking);
            start_match(5);
            current_player = 1;
            messages();
            arm(DIK_ESCAPE, 1, false); // in the frame's wait, after the computer's keys were read
            frames(1);
        } else if (where == STORY_PAUSE) {
            hold({DIK_DOWN}, 3);
            hold({DIK_RETURN});
            ASSERT_EQ(screen(), GAME_SCREEN_STORY);
            messages();
            arm(DIK_ESCAPE, 1, false); // at the start of the 500 ms pause after Return
            hold({DIK_RETURN});
        } else {
            arm(DIK_ESCAPE, 1, false); // at the start of the 200 ms pause after Down
            hold({DIK_DOWN});
        }
        EXPECT_EQ(taps_left, 0) << "the tap was made";
        EXPECT_TRUE(quit_posted());
        EXPECT_EQ(quit_requested, 1);
        EXPECT_EQ(plat_headless_frame_rgb(320, 240), 0u) << "faded to black";
        EXPECT_LE(plat_headless_now() - tapped_at, 1200u) << "from the tap to the end of the fade";
        TearDown();
        SetUp();
    }
}

// The burst Escape cuts short still ends as it would have: the state after the frame is the same.
TEST_F(Taps, AnExplosionHurriedByEscapeEndsAsItWouldHave) {
    uint64_t hashes[2];
    int32_t shown[2];
    for (int run = 0; run < 2; run++) {
        start_match(5);
        if (run == 1) arm(DIK_ESCAPE, 1, true);
        shot_into(ship2);
        int32_t before = plat_headless_frame_count();
        frames(1);
        shown[run] = plat_headless_frame_count() - before;
        EXPECT_FALSE(game_explosion_running());
        hashes[run] = game_state_hash();
        TearDown();
        SetUp();
    }
    EXPECT_EQ(hashes[1], hashes[0]);
    EXPECT_GT(shown[0], 15) << "the burst is shown when nobody quits";
    EXPECT_LE(shown[1], 3) << "after Escape the rest of the burst is not shown";
}

// A turn starts clean: a tap made while another seat had the say, or a key still down when the
// turn begins, does nothing in it; a key pressed within the turn acts as long as it is held.
TEST_F(Taps, ATurnStartsCleanOfKeysPressedBeforeIt) {
    enum Stretch {
        COMPUTER_TURN,
        OTHER_PLAYERS_FLIGHT,
        EXPLOSION,
        START_GAME
    };
    for (Stretch stretch : {COMPUTER_TURN, OTHER_PLAYERS_FLIGHT, EXPLOSION, START_GAME}) {
        SCOPED_TRACE(stretch);
        if (stretch == COMPUTER_TURN) {
            strm_set_seat(STRM_SEAT_PLAYER2, computer_thinking);
            start_match(5);
            current_player = 1;
            frames(3);
            plat_headless_tap_key(DIK_RETURN); // while the computer aims
            keys({DIK_RIGHT}, 1);
            frames(3);
            rest_shot(320.0f, 240.0f, 2); // the computer's shot, at its end
            frames(2);
        } else if (stretch == OTHER_PLAYERS_FLIGHT) {
            start_match(5);
            current_player = 1;
            rest_shot(320.0f, 240.0f, 3); // player 2's shot
            frames(1);
            keys({DIK_RETURN, DIK_RIGHT}, 1); // player 1 gets ready too soon
            frames(2);
        } else if (stretch == EXPLOSION) {
            start_match(5);
            frames(1);
            shot_into(ship2); // player 1's shot wins the round
            keys({DIK_RETURN, DIK_RIGHT}, 1);
            frames(2); // the burst, then the next round with player 1 in turn
            ASSERT_EQ(score[0], 1);
        } else {
            keys({DIK_RETURN, DIK_RIGHT}, 1); // START GAME, held over the pause into play
            frames(1);
            ASSERT_EQ(screen(), GAME_SCREEN_PLAY);
        }
        ASSERT_EQ(current_player, 0);
        ASSERT_NE(shot.state, 1);
        uint32_t fired = shots_fired;
        int32_t aim = angle[0];
        frames(5);
        EXPECT_EQ(shots_fired, fired) << "no shot fires by itself";
        EXPECT_EQ(angle[0], aim) << "a key held since before the turn does not turn it";
        keys({DIK_RETURN, DIK_RIGHT}, 0);
        frames(1);
        hold({DIK_RIGHT}, 4); // pressed in the turn: acts every frame it is held
        EXPECT_EQ(angle[0], aim == 360 ? 4 : aim + 4);
        hold({DIK_RETURN});
        EXPECT_EQ(shots_fired, fired + 1);
        TearDown();
        SetUp();
    }
}

} // namespace
