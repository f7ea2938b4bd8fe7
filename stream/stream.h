// Input streams: where each frame's keys and each random seed come from.
// The game is deterministic given its seed ticks and the keys it reads once a frame, so a
// recording, a computer player or a remote peer can stand in for the keyboard here without
// the rules or the frame order knowing.
#pragma once
#include <cstdint>

#include "stream/stream_keys.h"

// A seat's source: 1 with the frame's key bits in *keys, or 0 when it has none (the stream
// has ended or the peer is gone); the frame then reads no key.
typedef int32_t (*StrmKeysFn)(int32_t seat, uint8_t *keys);
// The seed source: 1 with the tick to seed with in *seed, given the live clock's reading.
typedef int32_t (*StrmSeedFn)(uint32_t live_tick, uint32_t *seed);

// What a tap is told of: a frame's keys as the game used them (after its Escape test) or a
// seed tick as the game seeded with it.
enum StrmEventKind : int32_t {
    STRM_EVENT_FRAME = 0,
    STRM_EVENT_SEED = 1
};
typedef void (*StrmTapFn)(int32_t kind, int32_t seat, uint32_t value);
constexpr int32_t STRM_MAX_TAPS = 4;

// Back to the plain game: every seat and the seed from the keyboard and clock, no taps,
// counters zero.
void strm_reset(void);
// Start-up, before game_init: seat's keys come from fn (null: the keyboard again).
void strm_set_seat(int32_t seat, StrmKeysFn fn);
// Start-up: seeds come from fn (null: the live clock).
void strm_set_seed_source(StrmSeedFn fn);
// Start-up: fn sees every frame and seed from now on; 1, or 0 when all taps are taken.
int32_t strm_add_tap(StrmTapFn fn);

// The local source: the keyboard's seven keys' bits (Escape included) and those of the
// gamepads serving seat. A turn starts clean: at its first read after strm_turn_begins, or after
// frames whose keys came from another source, presses made before are dropped and keys still
// down stay unread until let go and pressed again (Escape excepted).
int32_t strm_keyboard_keys(int32_t seat, uint8_t *keys);
// The game, before the key read of a turn's first frame (another seat has the say, or a flight
// ended): the local source's next read starts clean.
void strm_turn_begins(void);
// The key bits of a 256-byte key state (a byte other than 0 is down).
uint8_t strm_keys_from_state(const uint8_t state[256]);

// Once a frame, where the game reads the keyboard: fills keyboard_state from the seat's
// source (0x80 for each key down, 0 for the rest); 1, or 0 when the source had nothing.
int32_t strm_read_keys(int32_t seat);
// Within a frame (its pauses, its explosion): 1 when the frame's Escape test will quit, so the
// waits can be cut short; the test still tells the quit.
int32_t strm_escape_pending(void);
// Once a frame, at its end: 1 when the game must quit (Escape in the frame's keys or held
// now on the local keyboard); tells the taps of the frame.
int32_t strm_escape_test(void);
// After a pause or an explosion, where no frame read keys: taps made meanwhile on the keyboard
// and the pads beside it have no effect; what is still held reads as held.
void strm_forget_taps(void);
// Start-up and round set-up: the tick to seed the game's numbers with; tells the taps.
uint32_t strm_seed(uint32_t live_tick);

// Frames ended by an Escape test, and seeds taken, since the last reset.
uint32_t strm_frame_count(void);
uint32_t strm_seed_count(void);
// The seat of the frame now being played (set by its key read).
int32_t strm_current_seat(void);
