// Keyboard (and unused mouse and game controller) state, read once a frame.
#pragma once
#include <cstdint>
#include "platform/plat_input.h"

typedef uint8_t KeyboardState[256];

extern int32_t input_system;    // 1 once inp_init succeeded
extern int32_t keyboard_device; // 1 while the keyboard is open
extern KeyboardState keyboard_state;
extern int32_t mouse_device;
extern PlatMouseState mouse_state;
extern int32_t joystick_device;
extern PlatJoystickState joystick_state;
extern uint8_t joystick_guid[16]; // the controller enumeration found; all zero before
extern char joystick_name[80];
extern int32_t joystick_found;

// Start-up, after the window exists.
int32_t inp_init(void);
// Shutdown.
void inp_shutdown(void);
// Start-up, after inp_init.
int32_t inp_keyboard_init(void);
// Every frame: fills keyboard_state; no device clears it and gives 0.
int32_t inp_keyboard_read(void);
// After a pause or an explosion, where no frame read keys: the keyboard's taps made meanwhile
// have no effect (strm_forget_taps drops the pads' too).
void inp_keyboard_forget_taps(void);
// Closes the keyboard; later reads find no device.
void inp_keyboard_release(void);
// The mouse, unused by the game: open, read into mouse_state, close.
int32_t inp_mouse_init(void);
int32_t inp_mouse_read(void);
void inp_mouse_release(void);

// Answers of an enumeration callback: go on to the next device, or stop here.
constexpr int32_t INP_ENUM_STOP = 0;
constexpr int32_t INP_ENUM_CONTINUE = 1;
// Enumeration callback of inp_joystick_init: copies the device's id to the 16 bytes at context and its
// name to joystick_name, and stops: the first attached controller is the one taken.
int32_t inp_joystick_enum_callback(const PlatJoystickInfo *device, void *context);
// The first attached game controller (unused by the game), its axes scaled to the ranges with a dead
// zone in percent; 0 when there is none. Read fills joystick_state.
int32_t inp_joystick_init(int32_t min_x, int32_t max_x, int32_t min_y, int32_t max_y, int32_t dead_zone);
int32_t inp_joystick_read(void);
void inp_joystick_release(void);
