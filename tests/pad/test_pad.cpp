// Gamepads on the headless backend: what each button and the stick read as, which pad speaks
// for which seat, presses between frames, plugging in and out.
#include "stream/stream_pad.h"
#include "tests/stream/keys_fixture.h"

namespace {

constexpr int32_t P1 = STRM_SEAT_PLAYER1, P2 = STRM_SEAT_PLAYER2, MENUS = STRM_SEAT_MENUS;
using PadTest = KeysTest;

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
        {1, 0, P1, true},    {1, 0, P2, true},  {1, 0, MENUS, true}, // a lone pad serves everyone
        {2, 0, P1, true},    {2, 0, P2, false}, {2, 1, P1, false},   {2, 1, P2, true},    {2, 0, MENUS, true},
        {2, 1, MENUS, true}, {3, 2, P1, false}, {3, 2, P2, false},   {3, 2, MENUS, true},
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

// A tap on the pad not in turn is not saved for its turn; taps during a stretch without reads
// are forgotten, held buttons stay.
TEST_F(PadTest, PressesNotReadInTimeAreForgottenButHeldOnesStay) {
    int32_t one = plat_headless_pad_attach(), two = plat_headless_pad_attach();
    plat_headless_pad_tap(two, PLAT_PAD_A);
    EXPECT_EQ(read(P1), keys({}));
    EXPECT_EQ(read(P2), keys({}));
    plat_headless_pad_tap(one, PLAT_PAD_A);
    plat_headless_pad_set(one, 0, -30000, 0);
    plat_headless_pad_set(one, 0, 0, 0);
    plat_headless_pad_set(two, PLAT_PAD_DPAD_UP, 0, 0);
    pad_forget_taps();
    EXPECT_EQ(read(P1), keys({}));
    EXPECT_EQ(read(P2), keys({DIK_UP}));
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

// Back quits at the escape test like Escape; Start does not.
TEST_F(PadTest, BackQuitsAndStartDoesNot) {
    int32_t one = plat_headless_pad_attach(), two = plat_headless_pad_attach();
    plat_headless_pad_set(two, PLAT_PAD_START, 0, 0);
    read(P2);
    EXPECT_EQ(strm_escape_test(), 0);
    plat_headless_pad_set(two, 0, 0, 0);
    plat_headless_pad_set(one, PLAT_PAD_BACK, 0, 0);
    read(P1);
    EXPECT_EQ(strm_escape_test(), 1);
}

} // namespace
