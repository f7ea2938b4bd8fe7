// The server's WebSocket side (libwebsockets), for players in a browser, and the bridge that
// joins one to a desktop player: the browser cannot speak ENet, so the server ends the desktop
// player's ENet link itself and carries each match message between an ENet packet and one
// binary WebSocket message. The rooms stay in srv_room.cpp; this is transport only.
#pragma once
#include <poll.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "server/srv.h"

typedef struct _ENetHost ENetHost;
typedef struct _ENetEvent ENetEvent;

// Listens for WebSocket connections on TCP port (bind: an IPv4 address text, or null for all).
// host is the ENet host on the server's UDP socket. 1, or 0 when the port cannot be had.
int32_t srv_ws_start(ENetHost *host, const char *bind, uint16_t port);
void srv_ws_stop(void);
// The sockets to wait on besides the UDP one.
void srv_ws_poll_fds(std::vector<pollfd> *fds);
// A browser player or a bridged link is open: the loop waits in shorter steps for ENet's timers.
int32_t srv_ws_busy(void);
// Reads and writes what the WebSocket connections have ready; now_ms as srv_datagram takes it.
void srv_ws_service(uint64_t now_ms);
// A UDP datagram that is ENet of a bridged desktop player: leave it to the ENet host.
int32_t srv_ws_for_enet(const SrvAddr *from, const uint8_t *data, size_t size);
// A message the rooms send: 1 when this side took it (a browser's, or a bridged player's match
// message), 0 when it goes out on the UDP socket as it is.
int32_t srv_ws_send(const SrvAddr *to, const uint8_t *data, size_t size);
// An event of the ENet host: a bridged link up, a packet of it, or its end.
void srv_ws_enet_event(const ENetEvent *ev, uint64_t now_ms);
// Sends what is queued to the browsers, for at most ms: the last words before the server stops.
void srv_ws_drain(uint32_t ms);
