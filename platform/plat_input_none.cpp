// The mouse and joystick readers of the backends that have none: headless (no window system)
// and the page (its pads come through the Gamepad API, web_pad).
#include "platform/plat_input.h"

int plat_mouse_open(void) { return 0; }
int plat_mouse_read(PlatMouseState *out) {
    if (out) *out = PlatMouseState{};
    return 0;
}
void plat_mouse_close(void) {}
void plat_joystick_enum(int32_t (*)(const PlatJoystickInfo *, void *), void *) {}
int plat_joystick_open(const uint8_t *, int32_t, int32_t, int32_t, int32_t, int32_t) { return 0; }
int plat_joystick_read(PlatJoystickState *out) {
    if (out) *out = PlatJoystickState{};
    return 0;
}
void plat_joystick_close(void) {}
