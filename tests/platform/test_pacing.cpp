// Waits on the headless clock, and what the keyboard read keeps of taps around stretches
// without reads.
#include <gtest/gtest.h>

#include <cstdint>

#include "platform/plat_headless.h"
#include "platform/plat_input.h"
#include "platform/plat_system.h"

namespace {

struct Pacing : ::testing::Test {
    uint8_t keys[256];
    void SetUp() override {
        plat_headless_reset();
        plat_headless_set_auto_advance(0);
        ASSERT_EQ(plat_keyboard_open(), 1);
    }
    void TearDown() override {
        plat_keyboard_close();
        plat_headless_reset();
    }
    uint8_t read(int32_t code) {
        plat_keyboard_read(keys);
        return keys[code];
    }
};

TEST_F(Pacing, WaitsEndAtTheFirstReadingAtOrPastTheDeadline) {
    struct Case {
        uint32_t start, now, ms, expect;
    } cases[] = {
        {1000, 1000, 33, 1033},               // a whole frame to wait
        {1000, 1020, 33, 1033},               // part of it
        {1000, 1050, 33, 1050},               // already late: at once, the clock untouched
        {0xFFFFFFF0u, 0xFFFFFFF0u, 33, 0x11}, // across the wrap
        {500, 500, 0, 500},
    };
    for (const Case &c : cases) {
        plat_headless_set_ticks(c.now);
        EXPECT_EQ(plat_wait_ticks(c.start, c.ms), c.expect) << c.start << "+" << c.ms;
        EXPECT_EQ(plat_ticks(), c.expect);
        plat_headless_set_ticks(c.now);
        EXPECT_EQ(plat_wait_process_ms(c.start, c.ms), c.expect);
    }
}

TEST_F(Pacing, ForgetDropsTapsButNotHeldKeysAndEscapeIsSeenHeldOrTapped) {
    plat_headless_tap_key(57);
    plat_headless_set_key(200, 1);
    plat_keyboard_forget_taps();
    EXPECT_EQ(read(57), 0);
    EXPECT_EQ(read(200), 0x80);
    plat_headless_tap_key(57); // a tap after the forget is the next frame's
    EXPECT_EQ(read(57), 0x80);
    EXPECT_EQ(read(57), 0) << "a tap reads down once";
    plat_headless_set_key(1, 1);
    EXPECT_EQ(plat_escape_down(), 1);
    plat_headless_set_key(1, 0);
    EXPECT_EQ(plat_escape_down(), 0);
    plat_headless_set_escape(1);
    EXPECT_EQ(plat_escape_down(), 1);
    plat_headless_set_escape(0);
    // A tap between two tests quits once, though a keyboard read and a forget came between.
    plat_headless_tap_key(1);
    plat_keyboard_read(keys);
    plat_keyboard_forget_taps();
    EXPECT_EQ(plat_escape_down(), 1) << "a tapped Escape";
    EXPECT_EQ(plat_escape_down(), 0) << "told once";
    plat_keyboard_close();
    EXPECT_EQ(plat_keyboard_read(keys), 0) << "closed keyboard";
}

} // namespace
