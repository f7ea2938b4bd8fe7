// WebSocket connections for players in a browser, and the ENet links that bridge them to a
// desktop player. A browser's binary messages are datagrams to the rooms, as UDP ones are.
#include "server/srv_ws.h"

#include <arpa/inet.h>
#include <enet/enet.h>
#include <libwebsockets.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <time.h>

#include <cstring>
#include <deque>
#include <unordered_map>

#include "net/net_rdv.h"

namespace {

constexpr size_t OUT_MAX = 1024;       // messages waiting for one browser; beyond, it has stalled
constexpr size_t BRIDGE_WAIT_MAX = 64; // a browser's messages before its partner's link is up
constexpr size_t CONNS_MAX = 4096;
constexpr uint32_t LOST_MS = 6000; // as the players' own ENet links

struct WsConn {
    lws *wsi;
    SrvAddr addr;
    std::deque<std::vector<uint8_t>> out;
    std::vector<uint8_t> in;
    int32_t closing; // close once out is sent
};
// The server's ENet link with a desktop player whose partner is a browser.
struct Bridge {
    ENetPeer *peer;
    int32_t up;
    std::vector<std::vector<uint8_t>> waiting;
};

lws_context *context;
ENetHost *enet;
uint64_t now;
std::unordered_map<uint16_t, WsConn> conns;   // by connection number (the address's port)
std::unordered_map<uint64_t, Bridge> bridges; // by the desktop player's address
std::vector<pollfd> lws_fds;
uint16_t next_number = 1;

uint64_t key(const SrvAddr *a) { return static_cast<uint64_t>(a->ip) | static_cast<uint64_t>(a->port) << 32; }

// The desktop player's partner when it is a browser.
int32_t browser_partner(const SrvAddr *a, SrvAddr *other) {
    int32_t seat;
    return srv_partner(a, other, &seat) && other->transport == SRV_TRANSPORT_WS;
}

void ws_close(uint16_t number) {
    auto it = conns.find(number);
    if (it == conns.end()) return;
    it->second.closing = 1;
    lws_callback_on_writable(it->second.wsi);
}

void ws_queue(uint16_t number, const uint8_t *data, size_t size) {
    auto it = conns.find(number);
    if (it == conns.end() || it->second.closing) return;
    // A gap in a match's messages would split the two games: a browser this far behind is cut
    // off instead (it reads nothing, so waiting for its queue to drain would never end), and
    // both players hear that the link is lost.
    if (it->second.out.size() >= OUT_MAX) {
        it->second.closing = 1;
        lws_set_timeout(it->second.wsi, PENDING_TIMEOUT_USER_OK, LWS_TO_KILL_ASYNC);
        return;
    }
    it->second.out.emplace_back(data, data + size);
    lws_callback_on_writable(it->second.wsi);
}

void enet_send(ENetPeer *peer, const uint8_t *data, size_t size) {
    ENetPacket *p = enet_packet_create(data, size, ENET_PACKET_FLAG_RELIABLE);
    if (p && enet_peer_send(peer, 0, p) != 0) enet_packet_destroy(p);
}

// The server hosts the link when the desktop player made the room: it connects out to it, from
// the port the player already talks to (so its NAT lets the link in).
void bridge_for(const SrvAddr *browser) {
    SrvAddr other;
    int32_t seat;
    if (!srv_partner(browser, &other, &seat) || other.transport != SRV_TRANSPORT_UDP || seat != 1) return;
    auto it = bridges.find(key(&other));
    if (it != bridges.end() && it->second.peer) return;
    ENetAddress to{other.ip, other.port};
    ENetPeer *peer = enet_host_connect(enet, &to, 1, 0);
    if (!peer) return;
    enet_peer_timeout(peer, 0, LOST_MS, LOST_MS);
    bridges[key(&other)].peer = peer;
}

void conn_closed(uint16_t number) {
    auto it = conns.find(number);
    if (it == conns.end()) return;
    SrvAddr a = it->second.addr, other;
    int32_t seat;
    if (srv_partner(&a, &other, &seat) && other.transport == SRV_TRANSPORT_UDP) {
        auto b = bridges.find(key(&other));
        if (b != bridges.end() && b->second.peer)
            enet_peer_disconnect_later(b->second.peer, 0);
        else if (b != bridges.end())
            bridges.erase(b); // messages held for a link that never came
    }
    srv_gone(&a);
    conns.erase(it);
}

int32_t peer_ipv4(lws *wsi, uint32_t *ip) {
    sockaddr_storage s{};
    socklen_t len = sizeof s;
    if (getpeername(lws_get_socket_fd(wsi), reinterpret_cast<sockaddr *>(&s), &len) != 0) return 0;
    if (s.ss_family != AF_INET) return 0;
    *ip = reinterpret_cast<sockaddr_in *>(&s)->sin_addr.s_addr;
    return 1;
}

void set_poll(int fd, int events, int remove) {
    for (size_t i = 0; i < lws_fds.size(); i++)
        if (lws_fds[i].fd == fd) {
            if (remove) {
                lws_fds[i] = lws_fds.back();
                lws_fds.pop_back();
            } else {
                lws_fds[i].events = static_cast<short>(events);
            }
            return;
        }
    if (!remove) lws_fds.push_back({fd, static_cast<short>(events), 0});
}

struct PerConn {
    uint16_t number;
};

int on_lws(lws *wsi, lws_callback_reasons reason, void *user, void *in, size_t len) {
    PerConn *pc = static_cast<PerConn *>(user);
    switch (reason) {
    case LWS_CALLBACK_ADD_POLL_FD:
    case LWS_CALLBACK_CHANGE_MODE_POLL_FD: {
        const lws_pollargs *pa = static_cast<const lws_pollargs *>(in);
        set_poll(pa->fd, pa->events, 0);
        return 0;
    }
    case LWS_CALLBACK_DEL_POLL_FD: set_poll(static_cast<const lws_pollargs *>(in)->fd, 0, 1); return 0;
    case LWS_CALLBACK_ESTABLISHED: {
        uint32_t ip;
        if (conns.size() >= CONNS_MAX || !peer_ipv4(wsi, &ip)) return -1;
        while (next_number == 0 || conns.count(next_number)) next_number++;
        pc->number = next_number++;
        WsConn &c = conns[pc->number];
        c.wsi = wsi;
        c.addr = SrvAddr{ip, pc->number, SRV_TRANSPORT_WS};
        return 0;
    }
    case LWS_CALLBACK_RECEIVE: {
        auto it = conns.find(pc->number);
        if (it == conns.end()) return -1;
        WsConn &c = it->second;
        if (lws_is_first_fragment(wsi)) c.in.clear();
        // Kept to one byte over the longest datagram: the rooms count what is longer as oversized.
        size_t room = NET_RDV_RELAY_MAX + 1 - c.in.size();
        const uint8_t *bytes = static_cast<const uint8_t *>(in);
        c.in.insert(c.in.end(), bytes, bytes + (len < room ? len : room));
        if (!lws_is_final_fragment(wsi) || lws_remaining_packet_payload(wsi)) return 0;
        SrvAddr from = c.addr;
        srv_datagram(&from, c.in.data(), c.in.size(), now);
        c.in.clear();
        bridge_for(&from);
        return 0;
    }
    case LWS_CALLBACK_SERVER_WRITEABLE: {
        auto it = conns.find(pc->number);
        if (it == conns.end()) return -1;
        WsConn &c = it->second;
        if (!c.out.empty()) {
            std::vector<uint8_t> &m = c.out.front();
            uint8_t buf[LWS_PRE + NET_RDV_RELAY_MAX];
            size_t n = m.size() < NET_RDV_RELAY_MAX ? m.size() : NET_RDV_RELAY_MAX;
            std::memcpy(buf + LWS_PRE, m.data(), n);
            int wrote = lws_write(wsi, buf + LWS_PRE, n, LWS_WRITE_BINARY);
            c.out.pop_front();
            if (wrote < static_cast<int>(n)) return -1;
        }
        if (!c.out.empty() || c.closing) {
            if (c.out.empty()) {
                lws_close_reason(wsi, LWS_CLOSE_STATUS_NORMAL, nullptr, 0);
                return -1;
            }
            lws_callback_on_writable(wsi);
        }
        return 0;
    }
    case LWS_CALLBACK_CLOSED: conn_closed(pc->number); return 0;
    default: return lws_callback_http_dummy(wsi, reason, user, in, len);
    }
}

const lws_protocols protocols[] = {
    {"quorvane", on_lws, sizeof(PerConn), NET_RDV_RELAY_MAX + 64, 0, nullptr, 0},
    {nullptr, nullptr, 0, 0, 0, nullptr, 0},
};

} // namespace

int32_t srv_ws_start(ENetHost *host, const char *bind, uint16_t port) {
    enet = host;
    lws_set_log_level(LLL_ERR, nullptr);
    lws_context_creation_info info;
    std::memset(&info, 0, sizeof info);
    info.port = port;
    info.iface = bind;
    info.protocols = protocols;
    info.options = LWS_SERVER_OPTION_DISABLE_IPV6;
    info.gid = static_cast<gid_t>(-1);
    info.uid = static_cast<uid_t>(-1);
    context = lws_create_context(&info);
    return context != nullptr;
}

void srv_ws_stop(void) {
    if (context) lws_context_destroy(context);
    context = nullptr;
    conns.clear();
    bridges.clear();
    lws_fds.clear();
}

void srv_ws_poll_fds(std::vector<pollfd> *fds) {
    for (const pollfd &p : lws_fds) fds->push_back({p.fd, p.events, 0});
}

int32_t srv_ws_busy(void) { return !bridges.empty(); }

void srv_ws_service(uint64_t now_ms) {
    now = now_ms;
    // A negative wait: only what is ready now, and lws's own timers that are due.
    if (context) lws_service(context, -1);
}

int32_t srv_ws_for_enet(const SrvAddr *from, const uint8_t *data, size_t size) {
    if (conns.empty() && bridges.empty()) return 0;
    if (net_rdv_is_ours(data, size)) return 0;
    if (bridges.count(key(from))) return 1;
    SrvAddr other;
    return browser_partner(from, &other);
}

int32_t srv_ws_send(const SrvAddr *to, const uint8_t *data, size_t size) {
    if (to->transport == SRV_TRANSPORT_WS) {
        ws_queue(to->port, data, size);
        return 1;
    }
    if (conns.empty() || net_rdv_is_ours(data, size)) return 0;
    SrvAddr other;
    if (!browser_partner(to, &other)) return 0;
    // A browser's match message for a desktop player: on the server's ENet link with it.
    Bridge &b = bridges[key(to)];
    if (b.up)
        enet_send(b.peer, data, size);
    else if (b.waiting.size() < BRIDGE_WAIT_MAX)
        b.waiting.emplace_back(data, data + size);
    return 1;
}

void srv_ws_enet_event(const ENetEvent *ev, uint64_t now_ms) {
    SrvAddr a{ev->peer->address.host, ev->peer->address.port, SRV_TRANSPORT_UDP};
    switch (ev->type) {
    case ENET_EVENT_TYPE_CONNECT: {
        Bridge &b = bridges[key(&a)];
        if (b.peer && b.peer != ev->peer) enet_peer_reset(b.peer);
        b.peer = ev->peer;
        b.up = 1;
        enet_peer_timeout(ev->peer, 0, LOST_MS, LOST_MS);
        for (const std::vector<uint8_t> &m : b.waiting) enet_send(b.peer, m.data(), m.size());
        b.waiting.clear();
        return;
    }
    case ENET_EVENT_TYPE_RECEIVE:
        // Through the rooms, which relay it to the player's partner and count it.
        if (bridges.count(key(&a))) srv_datagram(&a, ev->packet->data, ev->packet->dataLength, now_ms);
        enet_packet_destroy(ev->packet);
        return;
    case ENET_EVENT_TYPE_DISCONNECT: {
        auto it = bridges.find(key(&a));
        if (it == bridges.end() || it->second.peer != ev->peer) return;
        bridges.erase(it);
        // The desktop player's link is gone: so is the browser's, once what it was sent is out.
        SrvAddr other;
        if (browser_partner(&a, &other)) ws_close(other.port);
        return;
    }
    default: return;
    }
}

void srv_ws_drain(uint32_t ms) {
    if (!context) return;
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    uint64_t until = static_cast<uint64_t>(t.tv_sec) * 1000 + static_cast<uint64_t>(t.tv_nsec) / 1000000 + ms;
    for (;;) {
        int32_t pending = 0;
        for (auto &c : conns) pending |= !c.second.out.empty();
        clock_gettime(CLOCK_MONOTONIC, &t);
        uint64_t at = static_cast<uint64_t>(t.tv_sec) * 1000 + static_cast<uint64_t>(t.tv_nsec) / 1000000;
        if (!pending || at >= until) return;
        std::vector<pollfd> fds;
        srv_ws_poll_fds(&fds);
        poll(fds.data(), fds.size(), 10);
        lws_service(context, -1);
    }
}
