// Meeting through the room server: a room made or joined by code, the other player's public
// address, punches that open this side's NAT towards it, and keep-alives. Rides the match's
// own socket (net_transport's raw datagrams).
#pragma once
#include <cstdint>

enum NetMeetStatus : int32_t {
    NET_MEET_OFF = 0,
    NET_MEET_ASKING = 1, // the request is out; no room yet
    NET_MEET_ROOM = 2,   // in a room, alone
    NET_MEET_PAIRED = 3, // the other player's address is known
    NET_MEET_FAILED = 4, // the server refused: net_meet_error says why
};

// Starts asking the server (address in network byte order) for a new room (code 0) or to
// join the room of that code: a seat of its own, or the seat of session (0 for none).
void net_meet_start(uint32_t server_ip, uint16_t server_port, uint32_t code, uint64_t session);
// Reads what the server sent and sends what is due (requests, keep-alives, punches).
void net_meet_tick(void);
void net_meet_stop(void);
int32_t net_meet_status(void);
uint32_t net_meet_code(void);
// The other player's public address: 1 once known (kept while the seat is asked for again).
int32_t net_meet_peer(uint32_t *ip, uint16_t *port);
// The seat the server gave: 0 the room's maker, 1 the joiner, NET_RDV_SEAT_WATCHER (a full room).
int32_t net_meet_seat(void);
// The seat's session, which asks for it again; 0 before the server gave one.
uint64_t net_meet_session(void);
// The room's maker: the latest watcher's public address (punched towards a while): 1 once known.
int32_t net_meet_watcher(uint32_t *ip, uint16_t *port);
// The refusal's reason (NET_RDV_ERR_), 0 for none.
int32_t net_meet_error(void);
// The server said it stops.
int32_t net_meet_server_stopped(void);
// The link the match got (NET_RDV_LINK_), told to the server with the keep-alives.
void net_meet_set_link(uint8_t link);
// The match's link dropped: keep-alives every second and punches towards the other player until
// net_meet_relinked; when the server stops answering (this side's path was cut, or its NAT
// mapped it anew) the seat is asked for again by its session.
void net_meet_relink(void);
void net_meet_relinked(void);
// The address is the room server's.
int32_t net_meet_is_server(uint32_t ip, uint16_t port);
