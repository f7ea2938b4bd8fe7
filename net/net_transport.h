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

int32_t net_transport_start(void);
// The host's socket: room for the player and for a second one to be told the game is taken.
int32_t net_transport_listen(uint16_t port);
NetDial net_transport_dial(const char *host, uint16_t port);
int32_t net_transport_open(void);
// Takes the player who connected as the peer.
void net_transport_accept(ENetPeer *peer);
void net_transport_send(const NetMsg *m);
void net_transport_send_to(ENetPeer *to, const NetMsg *m);
// Asks a peer to leave once what is queued for it has gone.
void net_transport_let_go(ENetPeer *peer);
// The match ends: the peer is let go gently, or dropped at once when it is lost.
void net_transport_hang_up(int32_t lost);
// The next event, waiting up to ms for it: 1 with *ev, 0 for none.
int32_t net_transport_next(uint32_t ms, NetEvent *ev);
// Gives the last packets and a goodbye time to reach the peer, then closes the socket.
void net_transport_close(void);
void net_transport_stop(void);
uint32_t net_now_ms(void);
uint32_t net_transport_round_trip_ms(void);
