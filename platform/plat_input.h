// Keyboard, mouse and game controller over the backend's event stream.
#pragma once
#include <cstdint>

// Key codes are the old PC scan codes the game is written against; these are the ones named in code.
constexpr int32_t DIK_ESCAPE = 1;
constexpr int32_t DIK_RETURN = 28;
constexpr int32_t DIK_LALT = 56;
constexpr int32_t DIK_SPACE = 57;
constexpr int32_t DIK_RALT = 184;
constexpr int32_t DIK_UP = 200;
constexpr int32_t DIK_LEFT = 203;
constexpr int32_t DIK_RIGHT = 205;
constexpr int32_t DIK_DOWN = 208;

// Keyboard init; 1 or 0.
int plat_keyboard_open(void);
// Keyboard read, once a frame: 0x80 for every key down now or pressed since the last read
// (or since the last forget).
int plat_keyboard_read(uint8_t state[256]);
// End of a stretch without reads (pauses, explosions): presses that came and went meanwhile
// are dropped; keys still held stay down.
void plat_keyboard_forget_taps(void);
// Keyboard release; reads give 0 until it opens again.
void plat_keyboard_close(void);

struct PlatMouseState {
    int32_t dx, dy, wheel; // relative movement since the last read
    uint8_t buttons[4];    // 0x80 while down
};
// The unused mouse reader: open (1 or 0), read the movement since the last read, close.
int plat_mouse_open(void);
int plat_mouse_read(PlatMouseState *out);
void plat_mouse_close(void);

struct PlatJoystickState {
    int32_t x, y, z, rx, ry, rz;
    int32_t sliders[2];
    uint32_t pov[4];
    uint8_t buttons[32];
};
// One attached game controller as the enumeration reports it.
struct PlatJoystickInfo {
    uint8_t guid[16]; // what kind of controller it is; equal for two of the same make
    char name[80];    // product name, cut to 79 characters
};
// Joystick init: calls found for each attached controller in turn, while it returns 1.
void plat_joystick_enum(int32_t (*found)(const PlatJoystickInfo *device, void *context), void *context);
// Joystick init: opens the first attached controller with that id (all zero: the first at all), its axes
// scaled to the ranges; 0 if none.
int plat_joystick_open(const uint8_t guid[16], int32_t min_x, int32_t max_x, int32_t min_y, int32_t max_y,
                       int32_t dead_zone_percent);
// Joystick read: the open controller's axes, hats and buttons; 0 (and zeros) without one.
int plat_joystick_read(PlatJoystickState *out);
void plat_joystick_close(void);
