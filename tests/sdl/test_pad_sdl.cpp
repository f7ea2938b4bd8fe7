// Gamepads on the real SDL backend, driven through SDL's virtual joysticks with the
// game-controller layout.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>

#include "input/input.h"
#include "platform/plat_system.h"
#include "stream/stream.h"

namespace {

class SdlPad : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        ASSERT_EQ(plat_init(), 1) << plat_error();
        ASSERT_EQ(plat_window_open("Quorvane", 640, 480, 0), 1) << plat_error();
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0) << SDL_GetError();
        strm_reset();
        inp_init();
        inp_keyboard_init();
    }
    void TearDown() override {
        inp_shutdown();
        strm_reset();
        for (SDL_Joystick *j : sticks)
            if (j) SDL_JoystickClose(j);
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
        plat_shutdown();
    }
    // Plugs in a virtual pad; its handle for setting buttons and axes.
    SDL_Joystick *plug(void) {
        SDL_VirtualJoystickDesc desc{};
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
        desc.naxes = SDL_CONTROLLER_AXIS_MAX;
        desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
        desc.name = "Virtual pad";
        int index = SDL_JoystickAttachVirtualEx(&desc);
        EXPECT_GE(index, 0) << SDL_GetError();
        SDL_Joystick *j = index >= 0 ? SDL_JoystickOpen(index) : nullptr;
        sticks.push_back(j);
        return j;
    }
    void unplug(SDL_Joystick *j) {
        SDL_JoystickID id = SDL_JoystickInstanceID(j);
        for (int i = 0; i < SDL_NumJoysticks(); i++)
            if (SDL_JoystickGetDeviceInstanceID(i) == id) SDL_JoystickDetachVirtual(i);
    }
    // One frame's keys for seat, as the game reads them.
    static uint8_t read(int32_t seat) {
        strm_read_keys(seat);
        return strm_keys_from_state(keyboard_state);
    }
    std::vector<SDL_Joystick *> sticks;
};

TEST_F(SdlPad, ButtonsDpadAndStickReadAsKeys) {
    SDL_Joystick *pad = plug();
    ASSERT_NE(pad, nullptr);
    struct Case {
        int button, axis;
        int16_t value;
        uint8_t expect;
    };
    const Case cases[] = {
        {SDL_CONTROLLER_BUTTON_A, -1, 0, STRM_KEY_RETURN},
        {SDL_CONTROLLER_BUTTON_START, -1, 0, STRM_KEY_SPACE},
        {SDL_CONTROLLER_BUTTON_BACK, -1, 0, STRM_KEY_ESCAPE},
        {SDL_CONTROLLER_BUTTON_DPAD_UP, -1, 0, STRM_KEY_UP},
        {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, -1, 0, STRM_KEY_RIGHT},
        {-1, SDL_CONTROLLER_AXIS_LEFTX, -20000, STRM_KEY_LEFT},
        {-1, SDL_CONTROLLER_AXIS_LEFTY, 20000, STRM_KEY_DOWN},
        {-1, SDL_CONTROLLER_AXIS_LEFTY, 10000, 0},   // less than half way
        {-1, SDL_CONTROLLER_AXIS_RIGHTX, -32768, 0}, // the right stick does nothing
    };
    for (const Case &c : cases) {
        if (c.button >= 0) SDL_JoystickSetVirtualButton(pad, c.button, 1);
        if (c.axis >= 0) SDL_JoystickSetVirtualAxis(pad, c.axis, c.value);
        EXPECT_EQ(read(STRM_SEAT_PLAYER1), c.expect) << "button " << c.button << " axis " << c.axis;
        if (c.button >= 0) SDL_JoystickSetVirtualButton(pad, c.button, 0);
        if (c.axis >= 0) SDL_JoystickSetVirtualAxis(pad, c.axis, 0);
        EXPECT_EQ(read(STRM_SEAT_PLAYER1), 0) << "let go: button " << c.button << " axis " << c.axis;
    }
}

// A tap between two frames reads once; nothing counts while another window has the focus.
TEST_F(SdlPad, ATapBetweenTwoFramesReadsOnceAndNotWithoutTheFocus) {
    SDL_Joystick *pad = plug();
    ASSERT_NE(pad, nullptr);
    EXPECT_EQ(read(STRM_SEAT_MENUS), 0);
    SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_A, 1);
    plat_pump_events(); // whoever pumps between frames: the message loop, the pacing
    SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_A, 0);
    plat_pump_events();
    EXPECT_EQ(read(STRM_SEAT_MENUS), STRM_KEY_RETURN);
    EXPECT_EQ(read(STRM_SEAT_MENUS), 0);
    SDL_Event lost{};
    lost.type = SDL_WINDOWEVENT;
    lost.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
    SDL_PushEvent(&lost);
    SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_A, 1);
    EXPECT_EQ(read(STRM_SEAT_MENUS), 0);
    SDL_Event gained = lost;
    gained.window.event = SDL_WINDOWEVENT_FOCUS_GAINED;
    SDL_PushEvent(&gained);
    EXPECT_EQ(read(STRM_SEAT_MENUS), STRM_KEY_RETURN);
}

TEST_F(SdlPad, TwoPadsEachDriveTheirPlayerAndHotPlugKeepsTheOrder) {
    SDL_Joystick *first = plug(), *second = plug();
    ASSERT_NE(second, nullptr);
    SDL_JoystickSetVirtualButton(second, SDL_CONTROLLER_BUTTON_A, 1);
    EXPECT_EQ(read(STRM_SEAT_PLAYER1), 0);
    EXPECT_EQ(read(STRM_SEAT_PLAYER2), STRM_KEY_RETURN);
    EXPECT_EQ(read(STRM_SEAT_MENUS), STRM_KEY_RETURN);
    unplug(first); // the second pad is now the only one: it serves whoever is in turn
    EXPECT_EQ(read(STRM_SEAT_PLAYER1), STRM_KEY_RETURN);
    SDL_Joystick *third = plug(); // plugged in last, so pad 2
    SDL_JoystickSetVirtualButton(third, SDL_CONTROLLER_BUTTON_START, 1);
    EXPECT_EQ(read(STRM_SEAT_PLAYER1), STRM_KEY_RETURN);
    EXPECT_EQ(read(STRM_SEAT_PLAYER2), STRM_KEY_SPACE);
}

} // namespace
