// The ENet host and its one peer: the socket, messages out, events in.
#include <enet/enet.h>

#include "net/net_transport.h"

ENetPeer *net_peer;

namespace {

ENetHost *link_host;
int32_t enet_started;

} // namespace

int32_t net_transport_start(void) {
    if (!enet_started) {
        if (enet_initialize() != 0) return 0;
        enet_started = 1;
    }
    return 1;
}

int32_t net_transport_listen(uint16_t port) {
    ENetAddress address{};
    address.host = ENET_HOST_ANY;
    address.port = port;
    link_host = enet_host_create(&address, 2, 1, 0, 0);
    return link_host != nullptr;
}

NetDial net_transport_dial(const char *host, uint16_t port) {
    ENetAddress address{};
    if (enet_address_set_host(&address, host) != 0) return NET_DIAL_NO_HOST;
    address.port = port;
    link_host = enet_host_create(nullptr, 1, 1, 0, 0);
    if (!link_host) return NET_DIAL_NO_SOCKET;
    net_peer = enet_host_connect(link_host, &address, 1, 0);
    if (!net_peer) return NET_DIAL_NO_PEER;
    enet_peer_timeout(net_peer, 0, 2000, 4000);
    return NET_DIAL_OK;
}

int32_t net_transport_open(void) { return link_host != nullptr; }

void net_transport_accept(ENetPeer *peer) {
    net_peer = peer;
    enet_peer_timeout(peer, 0, 2000, 4000);
}

void net_transport_send_to(ENetPeer *to, const NetMsg *m) {
    if (!to) return;
    uint8_t bytes[NET_MSG_MAX];
    size_t n = net_encode(m, bytes);
    if (!n) return;
    ENetPacket *packet = enet_packet_create(bytes, n, ENET_PACKET_FLAG_RELIABLE);
    if (packet && enet_peer_send(to, 0, packet) != 0) enet_packet_destroy(packet);
    enet_host_flush(link_host);
}

void net_transport_send(const NetMsg *m) { net_transport_send_to(net_peer, m); }

void net_transport_let_go(ENetPeer *peer) { enet_peer_disconnect_later(peer, 0); }

void net_transport_hang_up(int32_t lost) {
    if (!net_peer) return;
    if (lost)
        enet_peer_reset(net_peer);
    else
        enet_peer_disconnect_later(net_peer, 0);
    enet_host_flush(link_host);
    if (lost) net_peer = nullptr;
}

int32_t net_transport_next(uint32_t ms, NetEvent *ev) {
    if (!link_host) return 0;
    ENetEvent e;
    if (enet_host_service(link_host, &e, ms) <= 0) return 0;
    *ev = NetEvent{};
    ev->peer = e.peer;
    switch (e.type) {
    case ENET_EVENT_TYPE_CONNECT: ev->kind = NET_EVENT_CONNECT; break;
    case ENET_EVENT_TYPE_RECEIVE:
        ev->kind = NET_EVENT_RECEIVE;
        ev->valid = net_decode(e.packet->data, e.packet->dataLength, &ev->msg);
        enet_packet_destroy(e.packet);
        break;
    case ENET_EVENT_TYPE_DISCONNECT: ev->kind = NET_EVENT_DISCONNECT; break;
    default: break;
    }
    return 1;
}

void net_transport_close(void) {
    if (!link_host) return;
    // Time for the last frames and the goodbye to reach the peer, lost datagrams resent
    // included; the peer's acknowledgement ends it sooner.
    uint32_t started = net_now_ms();
    while (net_peer && net_now_ms() - started < 2000) {
        ENetEvent ev;
        int32_t r = enet_host_service(link_host, &ev, NET_SLICE_MS);
        if (r > 0 && ev.type == ENET_EVENT_TYPE_DISCONNECT && ev.peer == net_peer) net_peer = nullptr;
        if (r > 0 && ev.type == ENET_EVENT_TYPE_RECEIVE) enet_packet_destroy(ev.packet);
    }
    enet_host_destroy(link_host);
    link_host = nullptr;
}

void net_transport_stop(void) {
    if (enet_started) {
        enet_deinitialize();
        enet_started = 0;
    }
}

uint32_t net_now_ms(void) { return enet_time_get(); }

uint32_t net_transport_round_trip_ms(void) { return net_peer ? net_peer->roundTripTime : 0; }
