// Online play: two machines run the same match in lockstep over ENet. Each frame's keys come
// from the machine whose player has the say over it (the player in turn on the play screen, the
// host on the menus) and travel to the other; the host's seed ticks travel too. At every round
// end both compare a hash of the game state.
#pragma once
#include <cstddef>
#include <cstdint>

#include "net/net_msg.h"
#include "stream/stream.h"

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
// Online through the room server at server:port (a name or address): code "" makes a room and
// waits in it as the host (player 1); a room code joins that room (player 2), directly through
// both NATs when a path opens within 3 s, else relayed by the server; gives up within
// timeout_ms. 1, or 0 with net_message() set.
int32_t net_online(const char *server, uint16_t port, const char *code, StrmKeysFn local_keys, uint32_t wait_ms,
                   uint32_t timeout_ms);
// Called once a slice while net_join or net_online reaches the other side, so the program can
// keep its window drawn; null for none.
void net_set_wait_hook(void (*hook)(void));
enum NetLinkKind : int32_t {
    NET_LINK_NONE = 0,
    NET_LINK_DIRECT = 1,
    NET_LINK_RELAYED = 2,
};
// A room's match whose link dropped stands still while both sides reach each other again, at
// most 90 s (net_message says so; the wait hook is called meanwhile): how long it has stood, ms,
// 0 while the link is up.
uint32_t net_held_ms(void);
// How many times a dropped link came back in this match.
uint32_t net_relinks(void);
// How the frames travel once linked: NET_LINK_.
int32_t net_link_kind(void);
// A join by code to a full room watches: every seat's keys come from the room's maker, from the
// match's start, and this side never acts on the match.
int32_t net_watching(void);
// A new game in a dropped joiner's seat: the frames it was brought up to before it plays (0
// for none).
uint32_t net_catch_up_frames(void);
// The room's code when met through the room server, "" otherwise.
const char *net_room_code(void);
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
// Back to the title menu as after a win, scores cleared; the game goes on as a local game. A
// match played to its end stays on its win screen until its player leaves it. The title says why.
void net_return_to_menu(void);
