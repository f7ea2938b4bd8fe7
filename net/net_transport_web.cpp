// The page's transport: the same interface as net_transport.cpp, over one WebSocket to the room
// server. A browser cannot speak ENet, so the server ends the desktop player's ENet link and
// carries each match message as one WebSocket message; the room server's own messages ride the
// same socket. The other player is one peer that stands for that link.
#include <cstring>

#include "net/net_rdv.h"
#include "net/net_transport.h"
#include "platform/web/web_socket.h"

struct _ENetPeer {
    int32_t unused;
};
ENetPeer *net_peer;

namespace {

// The room server as net_meet names it: no address in a page, any number that is not zero.
constexpr uint32_t SERVER_IP = 0x0100007fu;

ENetPeer the_peer;
char server_host[256];
uint16_t server_port;
int32_t opened, socket_started;
int32_t up;          // the other player's link is there (its first message came, or we asked)
int32_t connect_due; // a CONNECT event to give
NetEvent held;       // a message that came with the link: given after its CONNECT
int32_t holding;

constexpr uint32_t RAW_SLOTS = 16;
NetRaw raw_ring[RAW_SLOTS];
uint32_t raw_head, raw_count;

void keep_raw(const uint8_t *data, int32_t size) {
    if (size > static_cast<int32_t>(NET_RAW_MAX) || raw_count >= RAW_SLOTS) return;
    NetRaw &r = raw_ring[(raw_head + raw_count) % RAW_SLOTS];
    r.ip = SERVER_IP;
    r.port = server_port;
    r.size = static_cast<uint16_t>(size);
    std::memcpy(r.data, data, static_cast<size_t>(size));
    raw_count++;
}

// The next event from what the socket holds: 1 with *ev.
int32_t next_event(NetEvent *ev) {
    *ev = NetEvent{};
    ev->peer = &the_peer;
    if (connect_due) {
        connect_due = 0;
        ev->kind = NET_EVENT_CONNECT;
        return 1;
    }
    if (holding) {
        holding = 0;
        *ev = held;
        return 1;
    }
    uint8_t data[NET_RDV_RELAY_MAX];
    int32_t n;
    while ((n = web_socket_take(data, sizeof data)) >= 0) {
        if (net_rdv_is_ours(data, static_cast<size_t>(n))) {
            keep_raw(data, n);
            continue;
        }
        ev->kind = NET_EVENT_RECEIVE;
        ev->valid = net_decode(data, static_cast<size_t>(n), &ev->msg);
        if (up) return 1;
        // The desktop player's first message (its HELLO to this host) says its link is up.
        up = 1;
        held = *ev;
        holding = 1;
        *ev = NetEvent{};
        ev->peer = &the_peer;
        ev->kind = NET_EVENT_CONNECT;
        return 1;
    }
    if (socket_started && web_socket_closed() && (up || net_peer)) {
        // The server closes a browser's socket when the other player's link ends.
        up = 0;
        socket_started = 0;
        ev->kind = NET_EVENT_DISCONNECT;
        return 1;
    }
    return 0;
}

} // namespace

int32_t net_transport_start(void) { return 1; }
int32_t net_transport_listen(uint16_t) { return 0; }
NetDial net_transport_dial(const char *, uint16_t) { return NET_DIAL_NO_SOCKET; }
int32_t net_transport_open(void) { return opened; }

int32_t net_transport_open_any(void) {
    opened = 1;
    up = connect_due = holding = 0;
    raw_head = raw_count = 0;
    return 1;
}

int32_t net_transport_resolve(const char *host, uint32_t *ip) {
    std::strncpy(server_host, host, sizeof server_host - 1);
    *ip = SERVER_IP;
    return 1;
}

ENetPeer *net_transport_connect(uint32_t, uint16_t) {
    // The server's link to the other player is this socket: ready as soon as asked for.
    connect_due = 1;
    up = 1;
    return &the_peer;
}

void net_transport_drop(ENetPeer *) {}

void net_transport_peer_address(const ENetPeer *, uint32_t *ip, uint16_t *port) {
    *ip = SERVER_IP;
    *port = server_port;
}

void net_transport_send_raw(uint32_t, uint16_t port, const uint8_t *data, size_t size) {
    if (!opened) return;
    if (!socket_started) {
        server_port = port;
        web_socket_open(server_host, port);
        socket_started = 1;
    }
    web_socket_send(data, size);
}

int32_t net_transport_take_raw(NetRaw *raw) {
    if (!raw_count) return 0;
    *raw = raw_ring[raw_head];
    raw_head = (raw_head + 1) % RAW_SLOTS;
    raw_count--;
    return 1;
}

// The page feeds no watchers: the server's relay reaches it by its one WebSocket.
int32_t net_transport_feed_open(int32_t) { return 0; }
int32_t net_transport_feed_idle(int32_t) { return 0; }
void net_transport_feed_send_raw(int32_t, uint32_t, uint16_t, const uint8_t *, size_t) {}
int32_t net_transport_feed_take_raw(int32_t, NetRaw *) { return 0; }
int32_t net_transport_is_fed(const ENetPeer *) { return 0; }

void net_transport_accept(ENetPeer *peer) { net_peer = peer; }

void net_transport_send_to(ENetPeer *to, const NetMsg *m) {
    if (!to || !socket_started) return;
    uint8_t bytes[NET_MSG_MAX];
    size_t n = net_encode(m, bytes);
    if (n) web_socket_send(bytes, n);
}

void net_transport_send(const NetMsg *m) { net_transport_send_to(net_peer, m); }
// The browser queues what is sent and writes it out when the page yields: nothing to flush.
void net_transport_queue_to(ENetPeer *to, const NetMsg *m) { net_transport_send_to(to, m); }
void net_transport_flush(void) {}
void net_transport_let_go(ENetPeer *) {}
// What the page sent is in the server's hands, which carries it on: as far as the page can know,
// delivered.
int32_t net_transport_delivered(void) { return net_peer != nullptr; }

void net_transport_hang_up(int32_t lost) {
    if (lost) net_peer = nullptr;
}

int32_t net_transport_next(uint32_t ms, NetEvent *ev) {
    if (!opened) return 0;
    // The page gets the thread now and then even while messages keep coming (a peer far ahead).
    static uint32_t yielded_at;
    if (web_socket_now_ms() - yielded_at > 100) {
        web_socket_wait(0);
        yielded_at = web_socket_now_ms();
    }
    if (next_event(ev)) return 1;
    if (!ms) return 0;
    web_socket_wait(ms);
    return next_event(ev);
}

void net_transport_close(void) {
    // What was sent (the goodbye included) leaves before the socket closes.
    web_socket_close();
    opened = socket_started = 0;
    up = connect_due = holding = 0;
}

void net_transport_stop(void) {}
uint32_t net_now_ms(void) { return web_socket_now_ms(); }
uint32_t net_transport_frozen_ms(uint32_t) { return 0; }
uint32_t net_transport_round_trip_ms(void) { return 0; }
