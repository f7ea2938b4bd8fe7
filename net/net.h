// Online play: two machines run the same match in lockstep over ENet. Each frame's keys come
// from the machine whose player has the say over it (the player in turn on the play screen, the
// host on the menus) and travel to the other; the host's seed ticks travel too. At every round
// end both compare a hash of the game state.
#pragma once
#include <cstddef>
#include <cstdint>

#include "stream/stream.h"

// ---- messages: small fixed binary records behind a magic and a protocol byte ----
constexpr uint8_t NET_MAGIC0 = 'Q', NET_MAGIC1 = 'V';
constexpr uint8_t NET_PROTOCOL = 1;
constexpr int32_t NET_VERSION_MAX = 24; // the game's version text, NUL padded
constexpr size_t NET_MSG_MAX = 48;      // the longest encoded message

enum NetMsgType : uint8_t {
    NET_MSG_HELLO = 1,   // joiner -> host: version
    NET_MSG_WELCOME = 2, // host -> joiner: version, the seed the host's game runs on, its state hash
    NET_MSG_REFUSE = 3,  // host -> joiner: reason, version
    NET_MSG_READY = 4,   // joiner -> host: started, frames may flow
    NET_MSG_FRAME = 5,   // frame number, seat, key bits
    NET_MSG_SEED = 6,    // host -> joiner: seed number, tick
    NET_MSG_HASH = 7,    // frame number, state hash at the end of that frame
    NET_MSG_BYE = 8,     // reason: the sender is leaving
};
enum NetRefuseReason : uint8_t {
    NET_REFUSE_VERSION = 1,
    NET_REFUSE_BUSY = 2
};
enum NetByeReason : uint8_t {
    NET_BYE_QUIT = 1,
    NET_BYE_DONE = 2,
    NET_BYE_DESYNC = 3
};

struct NetMsg {
    uint8_t type;
    uint8_t seat;                  // FRAME: 0..2
    uint8_t keys;                  // FRAME: StrmKey bits
    uint8_t reason;                // REFUSE, BYE
    uint32_t frame;                // FRAME, HASH; SEED: the seed's number
    uint32_t seed;                 // WELCOME, SEED
    uint64_t hash;                 // WELCOME, HASH
    char version[NET_VERSION_MAX]; // HELLO, WELCOME, REFUSE: printable ASCII, NUL terminated
};

// The encoded bytes of m into out (NET_MSG_MAX bytes); their count, 0 for a message not valid.
size_t net_encode(const NetMsg *m, uint8_t *out);
// A received packet: 1 with *m filled when it is one well-formed message (magic, protocol,
// type, exact length, values in range); 0 for anything else, *m then zeroed.
int32_t net_decode(const uint8_t *data, size_t size, NetMsg *m);

// ---- the link ----
enum NetState : int32_t {
    NET_STATE_OFF = 0,     // no online play
    NET_STATE_WAITING = 1, // host: listening for a player
    NET_STATE_LINKED = 2,  // frames flow
    NET_STATE_ENDED = 3,   // the match was cut short: net_message says why
    NET_STATE_DONE = 4,    // the link closed after a match played to its end
};
enum NetEnd : int32_t {
    NET_END_NONE = 0,
    NET_END_QUIT = 1,   // the other player quit
    NET_END_LOST = 2,   // the other machine vanished or went silent
    NET_END_DESYNC = 3, // the two games went out of step
    NET_END_LOCAL = 4,  // this side quit
};

// Local frames: where this machine's own seat reads its keys (the keyboard, the computer).
// wait_ms: how long a waiting host's frame may block on the network: 0 in the paced game loop
// (a watching side there also runs short frames while it is behind), a few ms in the simulator. Sets up the seats, the
// seed source and the taps. 1, or 0 with net_message() set.
int32_t net_host(uint16_t port, StrmKeysFn local_keys, uint32_t wait_ms);
// Connects to host:port and shakes hands (version check), within timeout_ms; call before
// game_init, which then seeds with the host's seed. 1, or 0 with net_message() set.
int32_t net_join(const char *host, uint16_t port, StrmKeysFn local_keys, uint32_t wait_ms, uint32_t timeout_ms);
// After game_init on the joining side: tells the host the game has started.
int32_t net_ready(void);
// Once after each game_frame: services the link; 1 when the match was cut short just now
// (the caller returns to its title menu or exits).
int32_t net_after_frame(void);
// Tells the peer that this side leaves (reason NET_BYE_), closes the link, gives the seats back
// to the keyboard. Harmless when off.
void net_close(uint8_t reason);

int32_t net_state(void);
int32_t net_end_reason(void);
// 0 for the host (player 1), 1 for the joiner (player 2).
int32_t net_local_player(void);
// The last event worth telling the player, one line ("" for none).
const char *net_message(void);
// Packets dropped as malformed, foreign or out of place since net_host/net_join.
uint32_t net_bad_packets(void);
// Where the streams were written after a desync ("" for none).
const char *net_desync_path(void);
// Time spent waiting for the peer's keys: at the first frame of its turn after frames of this
// side (a change of turn) and at every other frame of its.
struct NetWaits {
    uint32_t turn_changes, turn_longest_ms;
    uint64_t turn_total_ms;
    uint32_t frames, frame_longest_ms;
    uint64_t frame_total_ms;
};
NetWaits net_waits(void);
// Round trip to the peer as ENet measures it, ms (0 when off).
uint32_t net_round_trip_ms(void);
// result lines: frames played since the link came up, the same count on both sides.
uint32_t net_frames(void);

// ---- the game side ----
// Back to the title menu as after a win, scores cleared; the game goes on as a local game.
void net_return_to_menu(void);
