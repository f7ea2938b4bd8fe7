// Gamepads on the headless backend: what each button and the stick read as, which pad speaks
// for which seat, presses between frames, plugging in and out, and a round played on two pads.
#include <gtest/gtest.h>

#include <vector>

#include "game/game.h"
#include "game/game_internal.h"
#include "input/input.h"
#include "pad/pad.h"
#include "platform/plat_headless.h"
#include "platform/plat_system.h"
#include "stream/stream.h"

namespace {

constexpr int32_t P1 = STRM_SEAT_PLAYER1, P2 = STRM_SEAT_PLAYER2, MENUS = STRM_SEAT_MENUS;

class PadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        plat_headless_reset();
        plat_headless_pad_reset();
        strm_reset();
        inp_init();
        inp_keyboard_init();
    }
    void TearDown() override {
        inp_shutdown();
        strm_reset();
        plat_headless_pad_reset();
    }
    // One frame's read for seat: the key codes the game then sees down.
    static std::vector<int32_t> read(int32_t seat) {
        strm_read_keys(seat);
        std::vector<int32_t> down;
        for (int32_t code = 0; code < 256; code++)
            if (keyboard_state[code]) down.push_back(code);
        return down;
    }
    static std::vector<int32_t> keys(std::initializer_list<int32_t> codes) { return codes; }
};

TEST_F(PadTest, ButtonsAndStickReadAsTheGameKeys) {
    struct Case {
        uint32_t held;
        int16_t x, y;
        std::vector<int32_t> expect;
    };
    const Case cases[] = {
        {PLAT_PAD_A, 0, 0, {DIK_RETURN}},
        {PLAT_PAD_START, 0, 0, {DIK_SPACE}},
        {PLAT_PAD_BACK, 0, 0, {DIK_ESCAPE}},
        {PLAT_PAD_DPAD_UP, 0, 0, {DIK_UP}},
        {PLAT_PAD_DPAD_DOWN, 0, 0, {DIK_DOWN}},
        {PLAT_PAD_DPAD_LEFT, 0, 0, {DIK_LEFT}},
        {PLAT_PAD_DPAD_RIGHT, 0, 0, {DIK_RIGHT}},
        {0, -16384, 0, {DIK_LEFT}}, // half way is enough
        {0, -16383, 0, {}},
        {0, 16384, 0, {DIK_RIGHT}},
        {0, 16383, 0, {}},
        {0, 0, -16384, {DIK_UP}}, // up is negative
        {0, 0, -16383, {}},
        {0, 0, 16384, {DIK_DOWN}},
        {0, 0, 16383, {}},
        {0, -32768, 32767, {DIK_LEFT, DIK_DOWN}},
        {PLAT_PAD_A | PLAT_PAD_DPAD_RIGHT, 0, 0, {DIK_RETURN, DIK_RIGHT}},
    };
    int32_t pad = plat_headless_pad_attach();
    for (const Case &c : cases) {
        plat_headless_pad_set(pad, 0, 0, 0);
        read(MENUS); // let go of the last case
        plat_headless_pad_set(pad, c.held, c.x, c.y);
        EXPECT_EQ(read(P1), c.expect) << "buttons " << c.held << " stick " << c.x << "," << c.y;
    }
}

TEST_F(PadTest, EachSeatHearsItsOwnPads) {
    struct Case {
        int32_t pads, pressing, seat;
        bool heard;
    };
    const Case cases[] = {
        {1, 0, P1, true},     {1, 0, P2, true},     {1, 0, MENUS, true},  // a lone pad serves everyone
        {2, 0, P1, true},     {2, 0, P2, false},    {2, 1, P1, false},    {2, 1, P2, true},
        {2, 0, MENUS, true},  {2, 1, MENUS, true},  {3, 2, P1, false},    {3, 2, P2, false},
        {3, 2, MENUS, true},
    };
    for (const Case &c : cases) {
        plat_headless_pad_reset();
        std::vector<int32_t> ids;
        for (int32_t i = 0; i < c.pads; i++) ids.push_back(plat_headless_pad_attach());
        plat_headless_pad_set(ids[c.pressing], PLAT_PAD_A, 0, 0);
        EXPECT_EQ(read(c.seat), c.heard ? keys({DIK_RETURN}) : keys({}))
            << c.pads << " pads, pad " << c.pressing + 1 << " pressing, seat " << c.seat;
    }
}

TEST_F(PadTest, APressOnThePadNotInTurnIsNotSavedForItsTurn) {
    int32_t one = plat_headless_pad_attach(), two = plat_headless_pad_attach();
    (void)one;
    plat_headless_pad_tap(two, PLAT_PAD_A);
    EXPECT_EQ(read(P1), keys({}));
    EXPECT_EQ(read(P2), keys({}));
}

TEST_F(PadTest, ATapOrAFlickBetweenFramesCountsOnce) {
    int32_t pad = plat_headless_pad_attach();
    plat_headless_pad_tap(pad, PLAT_PAD_START);
    plat_headless_pad_set(pad, 0, -30000, 0);
    plat_headless_pad_set(pad, 0, 0, 0);
    EXPECT_EQ(read(P1), keys({DIK_SPACE, DIK_LEFT}));
    EXPECT_EQ(read(P1), keys({}));
    plat_headless_pad_set(pad, 0, 0, 30000); // held down over a read, then let go
    EXPECT_EQ(read(P1), keys({DIK_DOWN}));
    plat_headless_pad_set(pad, 0, 0, 0);
    EXPECT_EQ(read(P1), keys({}));
}

TEST_F(PadTest, PadsCountInTheOrderTheyWerePluggedIn) {
    int32_t a = plat_headless_pad_attach(), b = plat_headless_pad_attach(), c = plat_headless_pad_attach();
    plat_headless_pad_detach(a);
    plat_headless_pad_set(b, PLAT_PAD_DPAD_UP, 0, 0);
    plat_headless_pad_set(c, PLAT_PAD_DPAD_DOWN, 0, 0);
    EXPECT_EQ(read(P1), keys({DIK_UP})) << "b is pad 1 now";
    EXPECT_EQ(read(P2), keys({DIK_DOWN})) << "c is pad 2 now";
    a = plat_headless_pad_attach(); // back in, last in line
    plat_headless_pad_set(a, PLAT_PAD_A, 0, 0);
    EXPECT_EQ(read(P1), keys({DIK_UP}));
    EXPECT_EQ(read(P2), keys({DIK_DOWN}));
    plat_headless_pad_detach(b);
    plat_headless_pad_detach(c);
    EXPECT_EQ(read(P2), keys({DIK_RETURN})) << "the one pad left serves whoever is in turn";
}

TEST_F(PadTest, KeyboardStillWorksBesideThePads) {
    int32_t pad = plat_headless_pad_attach();
    plat_headless_pad_set(pad, PLAT_PAD_A, 0, 0);
    plat_headless_set_key(DIK_UP, 1);
    EXPECT_EQ(read(P1), keys({DIK_RETURN, DIK_UP}));
    plat_headless_pad_set(pad, 0, 0, 0);
    EXPECT_EQ(read(P2), keys({DIK_UP}));
}

std::vector<uint32_t> tapped;
void tap(int32_t kind, int32_t seat, uint32_t value) {
    if (kind == STRM_EVENT_FRAME) tapped.push_back(static_cast<uint32_t>(seat) << 8 | value);
}

TEST_F(PadTest, TapsSeePadPressesAndBackQuits) {
    tapped.clear();
    ASSERT_EQ(strm_add_tap(tap), 1);
    int32_t one = plat_headless_pad_attach(), two = plat_headless_pad_attach();
    plat_headless_pad_set(two, PLAT_PAD_START, 0, 0);
    read(P2);
    EXPECT_EQ(strm_escape_test(), 0);
    plat_headless_pad_set(two, 0, 0, 0);
    plat_headless_pad_set(one, PLAT_PAD_BACK, 0, 0);
    read(P1);
    EXPECT_EQ(strm_escape_test(), 1);
    EXPECT_EQ(tapped, (std::vector<uint32_t>{P2 << 8 | STRM_KEY_SPACE, P1 << 8 | STRM_KEY_ESCAPE}));
}

// The whole game on two pads: menu, aiming, firing, the turn passing, a hit ending the round.
class PadGame : public PadTest {
  protected:
    void SetUp() override {
        PadTest::SetUp();
        ASSERT_EQ(plat_window_open("Quorvane", 640, 480, 0), 1);
        game_init();
        PlatMessage m{};
        while (plat_message_peek(&m)) {
        }
        one = plat_headless_pad_attach();
        two = plat_headless_pad_attach();
    }
    void TearDown() override {
        game_shutdown();
        plat_shutdown();
        PadTest::TearDown();
    }
    // Holds buttons and stick on a pad for n frames, then lets go.
    static void hold(int32_t pad, uint32_t buttons, int16_t x, int16_t y, int n) {
        plat_headless_pad_set(pad, buttons, x, y);
        for (int i = 0; i < n; i++) game_frame();
        plat_headless_pad_set(pad, 0, 0, 0);
        game_frame();
    }
    // Frames until the shot in flight ends and the turn passes (a shot lives 500 steps at most).
    static void until_turn_of(int32_t player) {
        for (int i = 0; i < 600 && current_player != player; i++) game_frame();
        ASSERT_EQ(current_player, player);
    }
    int32_t one = -1, two = -1;
};

TEST_F(PadGame, TwoPadsPlayARound) {
    ASSERT_EQ(game_current_screen(), GAME_SCREEN_MENU);
    hold(two, PLAT_PAD_A, 0, 0, 1); // the menus take any pad: START GAME
    ASSERT_EQ(game_current_screen(), GAME_SCREEN_PLAY);
    ASSERT_EQ(current_player, 0);

    hold(two, 0, -32767, -32767, 3); // not player 2's turn
    EXPECT_EQ(angle[0], 360);
    EXPECT_EQ(power[0], 100);
    hold(one, 0, -32767, 0, 3);
    EXPECT_EQ(angle[0], 357);
    hold(one, PLAT_PAD_DPAD_UP, 0, 0, 2);
    EXPECT_EQ(power[0], 110);
    uint32_t shots = shots_fired;
    hold(one, PLAT_PAD_A, 0, 0, 1);
    EXPECT_EQ(shots_fired, shots + 1);
    until_turn_of(1);

    hold(one, PLAT_PAD_A | PLAT_PAD_START, -32767, 0, 2); // not player 1's turn
    EXPECT_EQ(shots_fired, shots + 1);
    EXPECT_EQ(angle[1], 180);
    hold(two, PLAT_PAD_DPAD_LEFT, 0, 0, 3); // player 2 faces the other way
    EXPECT_EQ(angle[1], 183);
    hold(two, 0, 0, 32767, 4);
    EXPECT_EQ(power[1], 80);
    plat_headless_pad_tap(two, PLAT_PAD_START);
    game_frame();
    EXPECT_EQ(shots_fired, shots + 2);
    // Steer the flying shot into player 1's ship: player 2 takes the round.
    shot.x = ship1.float_vars[2] + 8.0f;
    shot.y = ship1.float_vars[3] + 8.0f;
    shot.vx = shot.vy = 0.0f;
    shot.life = 100;
    game_frame();
    game_frame();
    EXPECT_EQ(score[0], 0);
    EXPECT_EQ(score[1], 1);
    EXPECT_EQ(current_player, 0) << "a new round starts with player 1";
}

} // namespace
