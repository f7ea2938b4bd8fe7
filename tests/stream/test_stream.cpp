// Input streams: seats route keys, taps see what the game used, seeds can be replaced.
#include "tests/stream/keys_fixture.h"

namespace {

struct Event {
    int32_t kind, seat;
    uint32_t value;
};
std::vector<Event> events;
void record_event(int32_t kind, int32_t seat, uint32_t value) { events.push_back({kind, seat, value}); }

int32_t seat_asked = -1;
uint8_t scripted_keys = 0;
int32_t scripted(int32_t seat, uint8_t *keys) {
    seat_asked = seat;
    *keys = scripted_keys;
    return 1;
}
int32_t gone(int32_t, uint8_t *keys) {
    *keys = STRM_KEY_RETURN;
    return 0;
}
int32_t fixed_seed(uint32_t, uint32_t *seed) {
    *seed = 4242;
    return 1;
}

class StreamTest : public KeysTest {
protected:
    void SetUp() override {
        KeysTest::SetUp();
        events.clear();
        seat_asked = -1;
    }
};

TEST_F(StreamTest, EachBitLandsOnItsKeyCode) {
    struct Case {
        uint8_t bit;
        int32_t code;
    };
    const Case cases[] = {{STRM_KEY_RETURN, 28}, {STRM_KEY_SPACE, 57},  {STRM_KEY_UP, 200},  {STRM_KEY_DOWN, 208},
                          {STRM_KEY_LEFT, 203},  {STRM_KEY_RIGHT, 205}, {STRM_KEY_ESCAPE, 1}};
    strm_set_seat(STRM_SEAT_PLAYER2, scripted);
    for (const Case &c : cases) {
        scripted_keys = c.bit;
        EXPECT_EQ(read(STRM_SEAT_PLAYER2), keys({c.code})) << "bit " << int(c.bit);
    }
}

TEST_F(StreamTest, OnlyTheSeatInChargeIsAsked) {
    strm_set_seat(STRM_SEAT_PLAYER2, scripted);
    scripted_keys = STRM_KEY_LEFT;
    plat_headless_set_key(205, 1); // Right on the real keyboard
    EXPECT_EQ(read(STRM_SEAT_PLAYER1), keys({205}));
    EXPECT_EQ(seat_asked, -1);
    EXPECT_EQ(strm_read_keys(STRM_SEAT_PLAYER2), 1);
    EXPECT_EQ(keyboard_state[203], 0x80);
    EXPECT_EQ(seat_asked, STRM_SEAT_PLAYER2);
}

TEST_F(StreamTest, ASourceWithNothingReadsNoKey) {
    strm_set_seat(STRM_SEAT_MENUS, gone);
    EXPECT_EQ(strm_read_keys(STRM_SEAT_MENUS), 0);
    EXPECT_EQ(read(STRM_SEAT_MENUS), keys({}));
}

TEST_F(StreamTest, TapsSeeFramesEscapeTestsAndSeedsFromEitherSource) {
    ASSERT_EQ(strm_add_tap(record_event), 1);
    strm_set_seat(STRM_SEAT_PLAYER1, scripted);
    scripted_keys = STRM_KEY_UP | STRM_KEY_SPACE;
    EXPECT_EQ(strm_seed(77), 77u);
    strm_read_keys(STRM_SEAT_PLAYER1);
    EXPECT_EQ(strm_escape_test(), 0);
    strm_read_keys(STRM_SEAT_PLAYER1);
    plat_headless_set_escape(1); // held after the read: the test still quits, and says so
    EXPECT_EQ(strm_escape_test(), 1);
    ASSERT_EQ(events.size(), 3u);
    const uint32_t held = STRM_KEY_UP | STRM_KEY_SPACE;
    EXPECT_EQ(std::vector<uint32_t>({uint32_t(events[0].kind), events[0].value, uint32_t(events[1].kind),
                                     uint32_t(events[1].seat), events[1].value, events[2].value}),
              std::vector<uint32_t>(
                  {STRM_EVENT_SEED, 77, STRM_EVENT_FRAME, STRM_SEAT_PLAYER1, held, held | STRM_KEY_ESCAPE}));
    EXPECT_EQ(strm_frame_count(), 2u);
    EXPECT_EQ(strm_seed_count(), 1u);
    // A seed source replaces the clock, and taps see its seed.
    strm_set_seed_source(fixed_seed);
    EXPECT_EQ(strm_seed(5), 4242u);
    EXPECT_EQ(events.back().value, 4242u);
}

// A recording or the computer has the say, and the viewer taps Escape between two tests: the
// frame quits and says so to the taps (a replay stops on an Escape it did not serve).
TEST_F(StreamTest, ALocalEscapeTapQuitsAFrameWhoseKeysCameFromElsewhere) {
    ASSERT_EQ(strm_add_tap(record_event), 1);
    strm_set_seat(STRM_SEAT_PLAYER2, scripted);
    scripted_keys = STRM_KEY_LEFT;
    strm_read_keys(STRM_SEAT_PLAYER2);
    plat_headless_tap_key(DIK_ESCAPE);
    EXPECT_EQ(strm_escape_test(), 1);
    strm_read_keys(STRM_SEAT_PLAYER2);
    EXPECT_EQ(strm_escape_test(), 0) << "one tap, one quit";
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].value, uint32_t{STRM_KEY_LEFT | STRM_KEY_ESCAPE});
    EXPECT_EQ(events[1].value, uint32_t{STRM_KEY_LEFT});
}

// The local source after frames whose keys came from elsewhere, or after strm_turn_begins: taps
// made before are gone, keys down then (a pad's too) stay unread until let go, Escape excepted;
// a key pressed since acts every read while held.
TEST_F(StreamTest, TheKeyboardStartsATurnClean) {
    strm_set_seat(STRM_SEAT_PLAYER2, scripted);
    scripted_keys = 0;
    int32_t pad = plat_headless_pad_attach();
    for (bool told : {false, true}) {
        SCOPED_TRACE(told ? "told by the game" : "after another source's frames");
        EXPECT_EQ(read(STRM_SEAT_PLAYER1), keys({}));
        if (told)
            strm_turn_begins();
        else
            read(STRM_SEAT_PLAYER2);
        plat_headless_tap_key(DIK_RETURN);
        plat_headless_set_key(DIK_RIGHT, 1);
        plat_headless_set_key(DIK_ESCAPE, 1);
        plat_headless_pad_set(pad, PLAT_PAD_DPAD_UP, 0, 0);
        EXPECT_EQ(read(STRM_SEAT_PLAYER1), keys({DIK_ESCAPE})) << "the turn's first read";
        plat_headless_set_key(DIK_ESCAPE, 0);
        EXPECT_EQ(read(STRM_SEAT_PLAYER1), keys({})) << "still held";
        plat_headless_set_key(DIK_RIGHT, 0);
        plat_headless_pad_set(pad, 0, 0, 0);
        EXPECT_EQ(read(STRM_SEAT_PLAYER1), keys({}));
        plat_headless_set_key(DIK_RIGHT, 1);
        plat_headless_pad_set(pad, PLAT_PAD_DPAD_UP, 0, 0);
        for (int i = 0; i < 3; i++)
            EXPECT_EQ(read(STRM_SEAT_PLAYER1), keys({DIK_UP, DIK_RIGHT})) << "pressed again, read " << i;
        plat_headless_set_key(DIK_RIGHT, 0);
        plat_headless_pad_set(pad, 0, 0, 0);
    }
    // Reads one after the other, whatever the seat, go on as they are: a tap still counts.
    EXPECT_EQ(read(STRM_SEAT_MENUS), keys({}));
    plat_headless_tap_key(DIK_SPACE);
    EXPECT_EQ(read(STRM_SEAT_PLAYER1), keys({DIK_SPACE}));
}

} // namespace
