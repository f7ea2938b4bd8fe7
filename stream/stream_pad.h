// Gamepads as the game's keys: D-pad or left stick as the arrows, A as Return, Start as Space,
// Back as Escape. With two pads or more, pad 1 plays for player 1 and pad 2 for player 2; a lone
// pad plays for whoever is in turn; the menus take every pad.
#pragma once
#include <cstdint>

#include "platform/plat_pad.h"

// A stick pushed at least this far (half way) along an axis counts as that arrow.
constexpr int32_t PAD_STICK_THRESHOLD = 16384;

uint8_t pad_keys(int32_t seat);
// the local key source, once a frame: the StrmKey bits of the pads serving seat (a StrmSeat).
// Reads every pad, so a press on a pad whose player is not in turn is dropped, not saved up.
void pad_forget_taps(void);
// end of a stretch without frame reads (pauses, explosions): presses and stick flicks made
// meanwhile are dropped; what is still held reads as held.
uint8_t pad_keys_from_state(const PlatPadState *state);
// pad_keys: one pad's buttons and stick as StrmKey bits.
int32_t pad_serves(int32_t index, int32_t count, int32_t seat);
// pad_keys: 1 when pad index (0 = first attached) speaks for seat while count pads are attached.
