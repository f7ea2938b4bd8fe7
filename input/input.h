// Keyboard (and unused mouse and game controller) state, read once a frame.
#pragma once
#include <cstdint>
#include "platform/plat_input.h"

constexpr int32_t DIK_ESCAPE = 1;
constexpr int32_t DIK_RETURN = 28;
constexpr int32_t DIK_SPACE = 57;
constexpr int32_t DIK_UP = 200;
constexpr int32_t DIK_LEFT = 203;
constexpr int32_t DIK_RIGHT = 205;
constexpr int32_t DIK_DOWN = 208;

typedef uint8_t KeyboardState[256];

extern int32_t input_system;    // 1 once inp_init succeeded
extern int32_t keyboard_device; // 1 while the keyboard is open
extern KeyboardState keyboard_state;
extern int32_t mouse_device;
extern PlatMouseState mouse_state;
extern int32_t joystick_device;
extern PlatJoystickState joystick_state;
extern char joystick_name[80];
extern int32_t joystick_found;

int32_t inp_init(void);
// start-up, after the window exists.
void inp_shutdown(void);
// shutdown.
int32_t inp_keyboard_init(void);
// start-up, after inp_init.
int32_t inp_keyboard_read(void);
// every frame: fills keyboard_state; no device clears it and gives 0.
void inp_keyboard_forget_taps(void);
// after a pause or an explosion, where no frame read keys: taps made meanwhile have no effect.
void inp_keyboard_release(void);
int32_t inp_mouse_init(void);
int32_t inp_mouse_read(void);
void inp_mouse_release(void);
int32_t inp_joystick_init(int32_t min_x, int32_t max_x, int32_t min_y, int32_t max_y, int32_t dead_zone);
int32_t inp_joystick_read(void);
void inp_joystick_release(void);
