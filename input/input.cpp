// Keyboard, mouse and game controller over the platform's input readers.
#include "input/input.h"

#include <cstdio>
#include <cstring>

int32_t input_system = 0;
int32_t keyboard_device = 0;
KeyboardState keyboard_state;
int32_t mouse_device = 0;
PlatMouseState mouse_state;
int32_t joystick_device = 0;
PlatJoystickState joystick_state;
uint8_t joystick_guid[16];
char joystick_name[80];
int32_t joystick_found = 0;

int32_t inp_init(void) {
    input_system = 1;
    return 1;
}

void inp_shutdown(void) {
    // The game calls only this at the end, so close whatever is still open.
    inp_keyboard_release();
    inp_mouse_release();
    inp_joystick_release();
    input_system = 0;
}

int32_t inp_keyboard_init(void) {
    if (!input_system) return 0;
    if (keyboard_device) return 1;
    if (!plat_keyboard_open()) return 0;
    keyboard_device = 1;
    return 1;
}

int32_t inp_keyboard_read(void) {
    if (!keyboard_device) {
        std::memset(keyboard_state, 0, sizeof keyboard_state);
        return 0;
    }
    // A failed read leaves the last frame's keys as they were.
    uint8_t fresh[256];
    if (!plat_keyboard_read(fresh)) return 0;
    std::memcpy(keyboard_state, fresh, sizeof keyboard_state);
    return 1;
}

void inp_keyboard_forget_taps(void) {
    if (keyboard_device) plat_keyboard_forget_taps();
}

void inp_keyboard_release(void) {
    if (!keyboard_device) return;
    plat_keyboard_close();
    keyboard_device = 0;
}

int32_t inp_mouse_init(void) {
    if (!input_system) return 0;
    if (mouse_device) return 1;
    if (!plat_mouse_open()) return 0;
    mouse_device = 1;
    return 1;
}

int32_t inp_mouse_read(void) {
    if (!mouse_device) {
        mouse_state = PlatMouseState{};
        return 0;
    }
    PlatMouseState fresh{};
    if (!plat_mouse_read(&fresh)) return 0;
    mouse_state = fresh;
    return 1;
}

void inp_mouse_release(void) {
    if (!mouse_device) return;
    plat_mouse_close();
    mouse_device = 0;
}

int32_t inp_joystick_enum_callback(const PlatJoystickInfo *device, void *context) {
    if (!device || !context) return INP_ENUM_CONTINUE;
    std::memcpy(context, device->guid, sizeof device->guid);
    std::snprintf(joystick_name, sizeof joystick_name, "%s", device->name);
    return INP_ENUM_STOP;
}

int32_t inp_joystick_init(int32_t min_x, int32_t max_x, int32_t min_y, int32_t max_y, int32_t dead_zone) {
    if (!input_system) return 0;
    if (joystick_device) return 1;
    plat_joystick_enum(inp_joystick_enum_callback, joystick_guid);
    if (!plat_joystick_open(joystick_guid, min_x, max_x, min_y, max_y, dead_zone)) return 0;
    joystick_device = 1;
    joystick_found = 1;
    return 1;
}

int32_t inp_joystick_read(void) {
    if (!joystick_found) return 0;
    if (!joystick_device) {
        joystick_state = PlatJoystickState{};
        return 0;
    }
    PlatJoystickState fresh{};
    if (!plat_joystick_read(&fresh)) return 0;
    joystick_state = fresh;
    return 1;
}

void inp_joystick_release(void) {
    if (!joystick_device) return;
    plat_joystick_close();
    joystick_device = 0;
}
