// Gamepads folded into the frame's key bits.
#include "stream/stream_pad.h"

#include "platform/plat_system.h"
#include "stream/stream_keys.h"

namespace {

struct ButtonKey {
    uint32_t button;
    uint8_t key;
};
constexpr ButtonKey BUTTON_KEYS[7] = {
    {PLAT_PAD_A, STRM_KEY_RETURN},         {PLAT_PAD_START, STRM_KEY_SPACE},    {PLAT_PAD_BACK, STRM_KEY_ESCAPE},
    {PLAT_PAD_DPAD_UP, STRM_KEY_UP},       {PLAT_PAD_DPAD_DOWN, STRM_KEY_DOWN}, {PLAT_PAD_DPAD_LEFT, STRM_KEY_LEFT},
    {PLAT_PAD_DPAD_RIGHT, STRM_KEY_RIGHT},
};

} // namespace

uint8_t pad_keys_from_state(const PlatPadState *state) {
    if (!state) return 0;
    uint8_t keys = 0;
    for (const ButtonKey &b : BUTTON_KEYS)
        if (state->buttons & b.button) keys |= b.key;
    if (state->x_min <= -PAD_STICK_THRESHOLD) keys |= STRM_KEY_LEFT;
    if (state->x_max >= PAD_STICK_THRESHOLD) keys |= STRM_KEY_RIGHT;
    if (state->y_min <= -PAD_STICK_THRESHOLD) keys |= STRM_KEY_UP;
    if (state->y_max >= PAD_STICK_THRESHOLD) keys |= STRM_KEY_DOWN;
    return keys;
}

int32_t pad_serves(int32_t index, int32_t count, int32_t seat) {
    if (index < 0 || index >= count) return 0;
    if (seat == STRM_SEAT_MENUS || count == 1) return 1;
    return (seat == STRM_SEAT_PLAYER1 && index == 0) || (seat == STRM_SEAT_PLAYER2 && index == 1);
}

uint8_t pad_keys(int32_t seat) {
    if (!plat_pad_open()) return 0;
    int32_t count = plat_pad_count();
    uint8_t keys = 0;
    for (int32_t i = 0; i < count; i++) {
        PlatPadState state;
        if (plat_pad_read(i, &state) && pad_serves(i, count, seat)) keys |= pad_keys_from_state(&state);
    }
    return keys;
}

void pad_forget_taps(void) {
    if (!plat_pad_open()) return;
    plat_pump_events(); // presses still waiting in the system's queue belong to the stretch too
    PlatPadState dropped;
    for (int32_t i = 0, count = plat_pad_count(); i < count; i++) plat_pad_read(i, &dropped);
}
