// Input streams: one source per seat, one for seeds, and taps that watch both.
#include "stream/stream.h"

#include <cstring>

#include "input/input.h"
#include "stream/stream_pad.h"
#include "platform/plat_system.h"

namespace {

StrmKeysFn seat_sources[STRM_SEAT_COUNT];
StrmSeedFn seed_source;
StrmTapFn taps[STRM_MAX_TAPS];
int32_t tap_count;
uint32_t frames_played, seeds_taken;
int32_t frame_seat = STRM_SEAT_MENUS;
uint8_t frame_keys;
int32_t escape_seen; // the frame's quit, seen early by a pause or an explosion

// The local keyboard's turns: the frames' key reads so far and the keyboard's last one, whether
// the game began a new turn since, and the keys that were down when this turn began and have not
// been let go since.
uint32_t reads, local_read;
int32_t turn_begun;
uint8_t stale_keys;

struct KeyBit {
    int32_t code;
    uint8_t bit;
};
constexpr KeyBit KEY_BITS[7] = {
    {DIK_RETURN, STRM_KEY_RETURN}, {DIK_SPACE, STRM_KEY_SPACE}, {DIK_UP, STRM_KEY_UP},
    {DIK_DOWN, STRM_KEY_DOWN},     {DIK_LEFT, STRM_KEY_LEFT},   {DIK_RIGHT, STRM_KEY_RIGHT},
    {DIK_ESCAPE, STRM_KEY_ESCAPE},
};

void tell_taps(int32_t kind, int32_t seat, uint32_t value) {
    for (int32_t i = 0; i < tap_count; i++) taps[i](kind, seat, value);
}

} // namespace

void strm_reset(void) {
    for (StrmKeysFn &fn : seat_sources) fn = nullptr;
    seed_source = nullptr;
    for (StrmTapFn &fn : taps) fn = nullptr;
    tap_count = 0;
    frames_played = seeds_taken = 0;
    frame_seat = STRM_SEAT_MENUS;
    frame_keys = 0;
    escape_seen = 0;
    // The game's first frame reads the keyboard as it is.
    reads = local_read = 0;
    turn_begun = 0;
    stale_keys = 0;
}

void strm_set_seat(int32_t seat, StrmKeysFn fn) {
    if (seat >= 0 && seat < STRM_SEAT_COUNT) seat_sources[seat] = fn;
}

void strm_set_seed_source(StrmSeedFn fn) { seed_source = fn; }

int32_t strm_add_tap(StrmTapFn fn) {
    if (!fn || tap_count == STRM_MAX_TAPS) return 0;
    taps[tap_count++] = fn;
    return 1;
}

uint8_t strm_keys_from_state(const uint8_t state[256]) {
    uint8_t keys = 0;
    for (const KeyBit &k : KEY_BITS)
        if (state[k.code]) keys |= k.bit;
    return keys;
}

int32_t strm_keyboard_keys(int32_t seat, uint8_t *keys) {
    // A turn starts clean: at the first read after frames whose keys came from elsewhere (the
    // computer, the peer) or after the game began a new turn, every key read down was pressed
    // before the turn (a tap made meanwhile, or a key still held): it acts only once it has been
    // let go and pressed again.
    int32_t fresh = turn_begun || reads > local_read + 1;
    turn_begun = 0;
    local_read = reads;
    inp_keyboard_read();
    uint8_t down = strm_keys_from_state(keyboard_state) | pad_keys(seat);
    // Escape is never held back: it always quits.
    if (fresh) stale_keys = down & static_cast<uint8_t>(~STRM_KEY_ESCAPE);
    stale_keys &= down;
    *keys = down & static_cast<uint8_t>(~stale_keys);
    return 1;
}

void strm_forget_taps(void) {
    inp_keyboard_forget_taps();
    pad_forget_taps();
}

void strm_turn_begins(void) { turn_begun = 1; }

int32_t strm_read_keys(int32_t seat) {
    if (seat < 0 || seat >= STRM_SEAT_COUNT) seat = STRM_SEAT_MENUS;
    frame_seat = seat;
    reads++;
    StrmKeysFn fn = seat_sources[seat] ? seat_sources[seat] : strm_keyboard_keys;
    uint8_t keys = 0;
    int32_t ok = fn(seat, &keys);
    if (!ok) keys = 0;
    frame_keys = keys & STRM_KEY_MASK;
    std::memset(keyboard_state, 0, sizeof keyboard_state);
    for (const KeyBit &k : KEY_BITS)
        if (frame_keys & k.bit) keyboard_state[k.code] = 0x80;
    return ok;
}

int32_t strm_escape_pending(void) {
    if (!escape_seen) escape_seen = plat_escape_down() || keyboard_state[DIK_ESCAPE] != 0;
    return escape_seen;
}

int32_t strm_escape_test(void) {
    // Escape on the local keyboard always quits, whoever has the say over the frame.
    int32_t quit = strm_escape_pending();
    escape_seen = 0;
    uint8_t used = static_cast<uint8_t>((frame_keys & ~STRM_KEY_ESCAPE) | (quit ? STRM_KEY_ESCAPE : 0));
    frames_played++;
    tell_taps(STRM_EVENT_FRAME, frame_seat, used);
    return quit;
}

uint32_t strm_seed(uint32_t live_tick) {
    uint32_t seed = live_tick;
    if (seed_source && !seed_source(live_tick, &seed)) seed = live_tick;
    seeds_taken++;
    tell_taps(STRM_EVENT_SEED, frame_seat, seed);
    return seed;
}

uint32_t strm_frame_count(void) { return frames_played; }
uint32_t strm_seed_count(void) { return seeds_taken; }
int32_t strm_current_seat(void) { return frame_seat; }
