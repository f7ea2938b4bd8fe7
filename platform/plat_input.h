// Keyboard, mouse and game controller over the backend's event stream.
#pragma once
#include <cstdint>

// Key codes are the old PC scan codes the game is written against
// (Escape 1, Return 28, Space 57, Up 200, Left 203, Right 205, Down 208).
int plat_keyboard_open(void);
// keyboard init; 1 or 0.
int plat_keyboard_read(uint8_t state[256]);
// keyboard read, once a frame: 0x80 for every key down now or pressed since the last read
// (or since the last forget).
void plat_keyboard_forget_taps(void);
// end of a stretch without reads (pauses, explosions): presses that came and went meanwhile
// are dropped; keys still held stay down.
void plat_keyboard_close(void);

struct PlatMouseState {
    int32_t dx, dy, wheel; // relative movement since the last read
    uint8_t buttons[4];    // 0x80 while down
};
int plat_mouse_open(void);
int plat_mouse_read(PlatMouseState *out);
void plat_mouse_close(void);

struct PlatJoystickState {
    int32_t x, y, z, rx, ry, rz;
    int32_t sliders[2];
    uint32_t pov[4];
    uint8_t buttons[32];
};
int plat_joystick_open(int32_t min_x, int32_t max_x, int32_t min_y, int32_t max_y, int32_t dead_zone_percent,
                       char name_out[80]);
// joystick init: first attached controller, axes scaled to the ranges; 0 if none.
int plat_joystick_read(PlatJoystickState *out);
void plat_joystick_close(void);
