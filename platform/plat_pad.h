// Gamepads with the common game-controller layout, counted in the order they were attached.
#pragma once
#include <cstdint>

constexpr int32_t PLAT_PAD_MAX = 8; // pads attached beyond this many are left alone

// The buttons the game uses, one bit each.
enum PlatPadButton : uint32_t {
    PLAT_PAD_A = 0x01, // the south face button
    PLAT_PAD_BACK = 0x02,
    PLAT_PAD_START = 0x04,
    PLAT_PAD_DPAD_UP = 0x08,
    PLAT_PAD_DPAD_DOWN = 0x10,
    PLAT_PAD_DPAD_LEFT = 0x20,
    PLAT_PAD_DPAD_RIGHT = 0x40,
};

struct PlatPadState {
    uint32_t buttons;     // PlatPadButton bits held now or pressed since the last read
    int16_t x_min, x_max; // the left stick: extremes of its moves since the last read and now
    int16_t y_min, y_max; // y grows downwards: negative is up
};

int plat_pad_open(void);
// pad reader, before its first read and again at will (cheap once open): 1, or 0 when the
// system has no controller support; pads attached at any time are found by later reads.
void plat_pad_close(void);
// forgets every pad and stops the reader.
int32_t plat_pad_count(void);
// pads attached now (0 while closed).
int plat_pad_read(int32_t index, PlatPadState *out);
// index 0 = the pad attached first of those still attached; takes its presses since the last
// read. 1, or 0 with *out zero when there is no such pad.

// Headless backend only: scripted pads for tests.
void plat_headless_pad_reset(void);
// no pads, closed.
int32_t plat_headless_pad_attach(void);
// plugs in a pad, last in order; its id (never reused before a reset), or -1 when full.
void plat_headless_pad_detach(int32_t id);
void plat_headless_pad_set(int32_t id, uint32_t held, int16_t x, int16_t y);
// holds exactly these buttons and puts the stick there.
void plat_headless_pad_tap(int32_t id, uint32_t buttons);
// pressed and released before the next read: must still read as pressed once.
