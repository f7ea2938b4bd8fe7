// Keyboard state over the headless backend's scripted keys.
#include <gtest/gtest.h>

#include <cstring>

#include "input/input.h"
#include "platform/plat_headless.h"

namespace {

int keys_down(void) {
    int n = 0;
    for (uint8_t b : keyboard_state) n += b != 0;
    return n;
}

class InputTest : public ::testing::Test {
protected:
    void SetUp() override {
        plat_headless_reset();
        ASSERT_EQ(inp_init(), 1);
        ASSERT_EQ(inp_keyboard_init(), 1);
    }
    void TearDown() override {
        inp_shutdown();
        plat_headless_reset();
    }
};

TEST_F(InputTest, TappedKeysReadDownOnceHeldKeysEveryFrame) {
    plat_headless_tap_key(DIK_SPACE);
    plat_headless_set_key(DIK_RIGHT, 1);
    plat_headless_set_key(DIK_LEFT, 1);
    ASSERT_EQ(inp_keyboard_read(), 1);
    EXPECT_EQ(keyboard_state[DIK_SPACE], 0x80);
    EXPECT_EQ(keys_down(), 3);
    for (int frame = 0; frame < 3; frame++) {
        ASSERT_EQ(inp_keyboard_read(), 1);
        EXPECT_EQ(keyboard_state[DIK_SPACE], 0);
        EXPECT_EQ(keys_down(), 2);
    }
    plat_headless_set_key(DIK_LEFT, 0);
    inp_keyboard_read();
    EXPECT_NE(keyboard_state[DIK_RIGHT], 0);
    EXPECT_EQ(keys_down(), 1);
}

TEST_F(InputTest, NoKeyboardDeviceReadsAllZeros) {
    plat_headless_set_key(DIK_RETURN, 1);
    inp_keyboard_read();
    EXPECT_NE(keyboard_state[DIK_RETURN], 0);
    inp_keyboard_release();
    EXPECT_EQ(keyboard_device, 0);
    EXPECT_EQ(inp_keyboard_read(), 0);
    EXPECT_EQ(keys_down(), 0);

    // Without the input system the keyboard cannot open either.
    inp_shutdown();
    EXPECT_EQ(input_system, 0);
    EXPECT_EQ(inp_keyboard_init(), 0);
    EXPECT_EQ(inp_keyboard_read(), 0);
    EXPECT_EQ(keys_down(), 0);
}

TEST_F(InputTest, MouseAndControllerWithoutDevicesReadZeros) {
    // The headless backend has neither.
    mouse_state.dx = 5;
    EXPECT_EQ(inp_mouse_init(), 0);
    EXPECT_EQ(inp_mouse_read(), 0);
    EXPECT_EQ(mouse_state.dx, 0);
    EXPECT_EQ(inp_joystick_init(-1000, 1000, -1000, 1000, 10), 0);
    EXPECT_EQ(joystick_found, 0);
    EXPECT_EQ(inp_joystick_read(), 0);

    // The enumeration stops at the first controller and keeps its id and name.
    PlatJoystickInfo pad{{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}, "Pad One"};
    uint8_t guid[16] = {};
    EXPECT_EQ(inp_joystick_enum_callback(&pad, guid), INP_ENUM_STOP);
    EXPECT_EQ(std::memcmp(guid, pad.guid, 16), 0);
    EXPECT_STREQ(joystick_name, "Pad One");
}

} // namespace
