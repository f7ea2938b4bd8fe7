// The ENet host and its one peer: the socket, messages out, events in.
#include <enet/enet.h>

#include <cstring>

#include "net/net_rdv.h"
#include "net/net_transport.h"
#include "platform/plat_system.h"

ENetPeer *net_peer;

namespace {

// On a lossy link ENet doubles a resent command's timeout each time, so a few losses in a row
// stall the stream for many seconds and its give-up fires while datagrams still arrive. A lost
// datagram is sent again at least twice a second instead, and the peer counts as lost only
// after LOST_MS without an acknowledgement (ENet pings every 500 ms, so that means silence).
constexpr uint32_t RESEND_MAX_MS = 500;
constexpr uint32_t LOST_MS = 6000;
// This long between two services: this process did not run (stopped, or a long stall), so
// the silence was ours; what was in flight gets its time again.
constexpr uint32_t FREEZE_MS = 2000;

ENetHost *link_host;
ENetHost *feed_hosts[NET_FEEDS];
int32_t enet_started;
uint32_t last_service_ms, frozen_ms, thawed_at_ms;

// Every peer's, a connection's handshake included: the host's answer to a joiner is resent too.
void keep_resending(ENetHost *host) {
    for (size_t p = 0; host && p < host->peerCount; p++) {
        ENetList *sent = &host->peers[p].sentReliableCommands;
        for (ENetListIterator it = enet_list_begin(sent); it != enet_list_end(sent); it = enet_list_next(it)) {
            ENetOutgoingCommand *c = reinterpret_cast<ENetOutgoingCommand *>(it);
            if (c->roundTripTimeout > RESEND_MAX_MS) c->roundTripTimeout = RESEND_MAX_MS;
        }
    }
}

void thaw(uint32_t now) {
    frozen_ms = now - last_service_ms;
    thawed_at_ms = now;
    if (!net_peer) return;
    ENetList *sent = &net_peer->sentReliableCommands;
    for (ENetListIterator it = enet_list_begin(sent); it != enet_list_end(sent); it = enet_list_next(it))
        reinterpret_cast<ENetOutgoingCommand *>(it)->sentTime = now;
    net_peer->earliestTimeout = 0;
}

// Before every service of the host: the resend cap, and a stop of this process noticed.
void before_service(void) {
    uint32_t now = enet_time_get();
    if (last_service_ms && now - last_service_ms > FREEZE_MS) thaw(now);
    last_service_ms = now;
    keep_resending(link_host);
    for (ENetHost *h : feed_hosts) keep_resending(h);
}

void set_timeouts(ENetPeer *peer) { enet_peer_timeout(peer, 0, LOST_MS, LOST_MS); }

constexpr uint32_t RAW_SLOTS = 16;
struct RawRing {
    NetRaw raw[RAW_SLOTS];
    uint32_t head, count;
};
RawRing link_raws, feed_raws[NET_FEEDS];

// The room server's datagrams share the socket: they are kept aside, never parsed by ENet.
int ENET_CALLBACK intercept(ENetHost *host, ENetEvent *) {
    if (!net_rdv_is_ours(host->receivedData, host->receivedDataLength)) return 0;
    RawRing *ring = &link_raws;
    for (int32_t i = 0; i < NET_FEEDS; i++)
        if (host == feed_hosts[i]) ring = &feed_raws[i];
    if (host->receivedDataLength <= NET_RAW_MAX && ring->count < RAW_SLOTS) {
        NetRaw &r = ring->raw[(ring->head + ring->count) % RAW_SLOTS];
        r.ip = host->receivedAddress.host;
        r.port = host->receivedAddress.port;
        r.size = static_cast<uint16_t>(host->receivedDataLength);
        std::memcpy(r.data, host->receivedData, r.size);
        ring->count++;
    }
    return 1;
}

int32_t take_raw(RawRing *ring, NetRaw *raw) {
    if (!ring->count) return 0;
    *raw = ring->raw[ring->head];
    ring->head = (ring->head + 1) % RAW_SLOTS;
    ring->count--;
    return 1;
}

void send_raw(ENetHost *host, uint32_t ip, uint16_t port, const uint8_t *data, size_t size) {
    if (!host) return;
    ENetAddress address{ip, port};
    ENetBuffer buffer{const_cast<uint8_t *>(data), size};
    enet_socket_send(host->socket, &address, &buffer, 1);
}

ENetHost *open_any(size_t peers) {
    ENetAddress address{};
    address.host = ENET_HOST_ANY;
    address.port = 0;
    ENetHost *host = enet_host_create(&address, peers, 1, 0, 0);
    if (host) host->intercept = intercept;
    return host;
}

// The feeds first, without waiting, then the match's socket for up to ms.
int32_t service(uint32_t ms, ENetEvent *e) {
    for (ENetHost *h : feed_hosts)
        if (h && enet_host_service(h, e, 0) > 0) return 1;
    return enet_host_service(link_host, e, ms);
}

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
    set_timeouts(net_peer);
    return NET_DIAL_OK;
}

int32_t net_transport_open(void) { return link_host != nullptr; }

int32_t net_transport_open_any(void) {
    link_host = open_any(6);
    link_raws = RawRing{};
    return link_host != nullptr;
}

int32_t net_transport_feed_open(int32_t slot) {
    if (slot < 0 || slot >= NET_FEEDS) return 0;
    // A watcher and a stale attempt of its.
    if (!feed_hosts[slot]) feed_hosts[slot] = open_any(2);
    feed_raws[slot] = RawRing{};
    return feed_hosts[slot] != nullptr;
}

int32_t net_transport_feed_idle(int32_t slot) {
    ENetHost *h = slot >= 0 && slot < NET_FEEDS ? feed_hosts[slot] : nullptr;
    if (!h) return 0;
    for (size_t p = 0; p < h->peerCount; p++)
        if (h->peers[p].state != ENET_PEER_STATE_DISCONNECTED) return 0;
    return 1;
}

void net_transport_feed_send_raw(int32_t slot, uint32_t ip, uint16_t port, const uint8_t *data, size_t size) {
    if (slot >= 0 && slot < NET_FEEDS) send_raw(feed_hosts[slot], ip, port, data, size);
}

int32_t net_transport_feed_take_raw(int32_t slot, NetRaw *raw) {
    return slot >= 0 && slot < NET_FEEDS && take_raw(&feed_raws[slot], raw);
}

int32_t net_transport_is_fed(const ENetPeer *peer) {
    for (ENetHost *h : feed_hosts)
        if (peer && h && peer->host == h) return 1;
    return 0;
}

int32_t net_transport_resolve(const char *host, uint32_t *ip) {
    ENetAddress address{};
    if (enet_address_set_host(&address, host) != 0) return 0;
    *ip = address.host;
    return 1;
}

ENetPeer *net_transport_connect(uint32_t ip, uint16_t port) {
    ENetAddress address{ip, port};
    ENetPeer *peer = enet_host_connect(link_host, &address, 1, 0);
    if (peer) set_timeouts(peer);
    return peer;
}

void net_transport_drop(ENetPeer *peer) {
    if (peer) enet_peer_reset(peer);
}

void net_transport_peer_address(const ENetPeer *peer, uint32_t *ip, uint16_t *port) {
    *ip = peer->address.host;
    *port = peer->address.port;
}

void net_transport_send_raw(uint32_t ip, uint16_t port, const uint8_t *data, size_t size) {
    send_raw(link_host, ip, port, data, size);
}

int32_t net_transport_take_raw(NetRaw *raw) { return take_raw(&link_raws, raw); }

void net_transport_accept(ENetPeer *peer) {
    net_peer = peer;
    set_timeouts(peer);
}

void net_transport_queue_to(ENetPeer *to, const NetMsg *m) {
    if (!to) return;
    uint8_t bytes[NET_MSG_MAX];
    size_t n = net_encode(m, bytes);
    if (!n) return;
    ENetPacket *packet = enet_packet_create(bytes, n, ENET_PACKET_FLAG_RELIABLE);
    if (packet && enet_peer_send(to, 0, packet) != 0) enet_packet_destroy(packet);
}

void net_transport_flush(void) {
    if (link_host) enet_host_flush(link_host);
    for (ENetHost *h : feed_hosts)
        if (h) enet_host_flush(h);
}

void net_transport_send_to(ENetPeer *to, const NetMsg *m) {
    if (!to) return;
    net_transport_queue_to(to, m);
    enet_host_flush(to->host);
}

namespace {
// A peer still connected or saying goodbye: what is queued for it may not have gone yet.
int32_t peer_busy(const ENetHost *host) {
    for (size_t p = 0; host && p < host->peerCount; p++) {
        ENetPeerState s = host->peers[p].state;
        if (s == ENET_PEER_STATE_CONNECTED || s == ENET_PEER_STATE_DISCONNECT_LATER ||
            s == ENET_PEER_STATE_DISCONNECTING)
            return 1;
    }
    return 0;
}
int32_t any_peer_busy(void) {
    int32_t busy = peer_busy(link_host);
    for (ENetHost *h : feed_hosts) busy |= peer_busy(h);
    return busy;
}
} // namespace

void net_transport_send(const NetMsg *m) { net_transport_send_to(net_peer, m); }

void net_transport_let_go(ENetPeer *peer) { enet_peer_disconnect_later(peer, 0); }

int32_t net_transport_delivered(void) {
    return net_peer && net_peer->state == ENET_PEER_STATE_CONNECTED &&
           enet_list_empty(&net_peer->sentReliableCommands) && enet_list_empty(&net_peer->outgoingCommands);
}

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
    before_service();
    uint32_t asked = enet_time_get();
    int32_t got = service(ms, &e);
    last_service_ms = enet_time_get();
    // Stopped inside the service: ENet may have given up on the peer before this side could
    // restart its clocks. The loss is then this side's own doing, and says so.
    if (last_service_ms - asked > ms + FREEZE_MS) {
        frozen_ms = last_service_ms - asked - ms;
        thawed_at_ms = last_service_ms;
    }
    if (got <= 0) return 0;
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
    // included: the peer needs them to end its match as this one did. Its acknowledgement of
    // the goodbye ends the wait; a peer gone silent ends it after LOST_MS. After a quit signal
    // only a moment: the game must be gone at once, and the peer notices a silence anyway.
    uint32_t started = net_now_ms();
    const uint32_t limit = plat_quit_signal() ? 100 : LOST_MS + 1000;
    while ((net_peer || any_peer_busy()) && net_now_ms() - started < limit) {
        ENetEvent ev;
        before_service();
        int32_t r = service(NET_SLICE_MS, &ev);
        if (r > 0 && ev.type == ENET_EVENT_TYPE_DISCONNECT && ev.peer == net_peer) net_peer = nullptr;
        if (r > 0 && ev.type == ENET_EVENT_TYPE_RECEIVE) enet_packet_destroy(ev.packet);
    }
    enet_host_destroy(link_host);
    link_host = nullptr;
    for (ENetHost *&h : feed_hosts) {
        if (h) enet_host_destroy(h);
        h = nullptr;
    }
    last_service_ms = frozen_ms = thawed_at_ms = 0;
}

void net_transport_stop(void) {
    if (enet_started) {
        enet_deinitialize();
        enet_started = 0;
    }
}

uint32_t net_now_ms(void) { return enet_time_get(); }

uint32_t net_transport_round_trip_ms(void) { return net_peer ? net_peer->roundTripTime : 0; }

uint32_t net_transport_frozen_ms(uint32_t within_ms) {
    return thawed_at_ms && net_now_ms() - thawed_at_ms <= within_ms ? frozen_ms : 0;
}
