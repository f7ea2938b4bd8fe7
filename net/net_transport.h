// The ENet host and its one peer: the socket, messages out, events in. Only this room speaks ENet.
#pragma once
#include <cstddef>
#include <cstdint>

#include "net/net_msg.h"

typedef struct _ENetPeer ENetPeer;

constexpr uint32_t NET_SLICE_MS = 1; // one wait on the socket while something is due

enum NetEventKind : int32_t {
    NET_EVENT_CONNECT = 1,
    NET_EVENT_RECEIVE = 2,
    NET_EVENT_DISCONNECT = 3,
};
struct NetEvent {
    int32_t kind;
    ENetPeer *peer;
    int32_t valid; // RECEIVE: the packet was one well-formed message, in msg
    NetMsg msg;
};
enum NetDial : int32_t {
    NET_DIAL_OK = 1,
    NET_DIAL_NO_HOST = 2,   // the name does not resolve
    NET_DIAL_NO_SOCKET = 3, // no UDP socket
    NET_DIAL_NO_PEER = 4,   // ENet would not start the connection
};

extern ENetPeer *net_peer; // the one other player, once connected

// A datagram of the room server's protocol, taken off the match's socket before ENet sees it.
constexpr size_t NET_RAW_MAX = 64;
struct NetRaw {
    uint32_t ip; // network byte order
    uint16_t port;
    uint16_t size;
    uint8_t data[NET_RAW_MAX];
};

int32_t net_transport_start(void);
// The host's socket: room for the player and for a second one to be told the game is taken.
// 0 with errno set by the failed bind.
int32_t net_transport_listen(uint16_t port);
NetDial net_transport_dial(const char *host, uint16_t port);
int32_t net_transport_open(void);
// A socket on any free port for meeting through the room server: room for the player, for a
// stale attempt of its, for two watchers, and for one to be told the game is taken.
int32_t net_transport_open_any(void);
// The IPv4 address of a host name (network byte order): 1, or 0 when it does not resolve.
int32_t net_transport_resolve(const char *host, uint32_t *ip);
// Starts connecting to an address; the peer, or null.
ENetPeer *net_transport_connect(uint32_t ip, uint16_t port);
// Forgets a peer at once, without a word to it.
void net_transport_drop(ENetPeer *peer);
// Where a peer's datagrams come from.
void net_transport_peer_address(const ENetPeer *peer, uint32_t *ip, uint16_t *port);
// A datagram straight on the socket, beside ENet's.
void net_transport_send_raw(uint32_t ip, uint16_t port, const uint8_t *data, size_t size);
// The next room-server datagram that arrived: 1 with *raw, 0 for none.
int32_t net_transport_take_raw(NetRaw *raw);
// Feeds: the room's maker feeds a watcher that no punched hole reaches through the room
// server's relay, from a socket of its own per watcher (the server cannot tell whom a datagram
// from the match's socket is for). Their peers' events come from net_transport_next.
constexpr int32_t NET_FEEDS = 2;
// Opens feed slot's socket on any free port, or keeps it if open: 1, or 0 without a socket.
int32_t net_transport_feed_open(int32_t slot);
// 1 when the feed's socket is open and none of its peers is connected or connecting.
int32_t net_transport_feed_idle(int32_t slot);
// A datagram straight on a feed's socket, and the next room-server datagram that came to it.
void net_transport_feed_send_raw(int32_t slot, uint32_t ip, uint16_t port, const uint8_t *data, size_t size);
int32_t net_transport_feed_take_raw(int32_t slot, NetRaw *raw);
// 1 when the peer came to a feed's socket (a watcher, never the other player).
int32_t net_transport_is_fed(const ENetPeer *peer);
// Takes the player who connected as the peer.
void net_transport_accept(ENetPeer *peer);
void net_transport_send(const NetMsg *m);
void net_transport_send_to(ENetPeer *to, const NetMsg *m);
// Queued for the next service or send, not sent at once: for many messages in a row.
void net_transport_queue_to(ENetPeer *to, const NetMsg *m);
void net_transport_flush(void);
// Asks a peer to leave once what is queued for it has gone.
void net_transport_let_go(ENetPeer *peer);
// 1 when the peer is connected and has acknowledged everything sent to it.
int32_t net_transport_delivered(void);
// The match ends: the peer is let go gently, or dropped at once when it is lost.
void net_transport_hang_up(int32_t lost);
// The next event, waiting up to ms for it: 1 with *ev, 0 for none.
int32_t net_transport_next(uint32_t ms, NetEvent *ev);
// Gives the last packets and a goodbye time to reach the peer, then closes the socket.
void net_transport_close(void);
void net_transport_stop(void);
uint32_t net_now_ms(void);
// How long this process last stood still (stopped, or stalled) if that ended within the last
// within_ms; 0 otherwise. The peer may have given up on the link meanwhile: that is no fault of its.
uint32_t net_transport_frozen_ms(uint32_t within_ms);
uint32_t net_transport_round_trip_ms(void);
