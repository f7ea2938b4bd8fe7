// The session: hosting and joining, the version handshake, the end of a match (quit, loss, desync)
// and the link's state that the lockstep reads.
#pragma once
#include <cstdint>

#include "net/net.h"

struct NetLink {
    int32_t state, end_reason;
    int32_t ended_now; // the next net_after_frame reports the end
    int32_t local_player;
    int32_t peer_gone, peer_done;
    int32_t peer_quit; // the other player quit: the match ends once the frames sent before are played
    uint32_t bad_packets;
    uint32_t frame_base, seed_base; // the stream's counts when the link came up
    uint32_t host_seed;             // the host's latest seed: what a joiner's game_init starts from
    uint32_t welcome_seed;
    uint64_t welcome_hash;
    char message[200];
    int32_t greeted;   // host: the peer said HELLO
    int32_t link_kind; // NET_LINK_
    char room[8];      // the room's code text when met through the room server
    // A room's match whose link dropped stands still while both sides reach each other again.
    int32_t relinking;
    uint32_t held_at, relinks;
    uint32_t received; // the other side's match messages (FRAME, SEED, HASH) taken
    int32_t watching;  // a join to a full room: both seats come from the maker's stream
    // A new game in a dropped joiner's seat: both seats come from the maker's stream up to
    // this frame, then this side plays its own; stream_count of the maker's messages first.
    uint32_t catch_up_to, stream_count;
    int32_t rejoined;
};
extern NetLink net_link;

void net_session_reset(void);
int32_t net_session_listen(uint16_t port);
int32_t net_session_dial(const char *host, uint16_t port, uint32_t timeout_ms);
// Through the room server: code 0 makes a room and waits in it as the host; another code joins
// that room, directly through both NATs or else relayed by the server. 1, or 0 with the reason.
int32_t net_session_meet(const char *server, uint16_t port, uint32_t code, uint32_t timeout_ms);
// Frames flow from here (the host on READY, the joiner once started).
void net_session_begin_frames(void);
// The match is cut short; the next net_after_frame reports it.
void net_session_end(int32_t reason, const char *text);
// The transport lost the peer: the match ends with the reason as this side can tell it.
void net_session_lost(void);
// The host once its match was cut short: a newcomer is told so and let go.
void net_session_turn_away(void);
// The games went out of step: the report is written, the peer told, the match ended.
void net_session_desync(uint32_t frame, uint64_t mine, uint64_t theirs, const char *what);
void net_session_send_simple(uint8_t type, uint8_t reason);
// A message of the running match (FRAME, SEED, HASH): kept, to be sent again after a dropped
// link, and sent now unless the link is down.
void net_session_send_match(const NetMsg *m);
// The messages kept by net_session_send_match since frames began: their count, and the one at
// index i (1 with *m, 0 past the end).
uint32_t net_sent_count(void);
int32_t net_sent_get(uint32_t i, NetMsg *m);
// The room's maker: one event of the match as played, for whoever watches.
void net_session_tell_watchers(uint8_t kind, uint8_t seat, uint32_t number, uint32_t value);
// One slice while the match stands for a dropped link: the window's events, the joiner's next
// try at the host (direct, else through the relay), the 90 s limit. 0 once the match has ended.
int32_t net_session_relink_slice(void);
// Takes what has arrived, waiting up to ms for the first event. Connections, the handshake and
// goodbyes are the session's own; 1 with *m for a message of the running match, 0 when no more.
int32_t net_session_next(uint32_t ms, NetMsg *m);
