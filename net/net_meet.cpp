// Meeting through the room server. Every request is resent until answered, since the server
// keeps nothing for a source that has not echoed its token.
#include "net/net_meet.h"

#include <cstddef> // before sys/random.h, which needs size_t in the page's C library
#include <sys/random.h>

#include "net/net_rdv.h"
#include "net/net_transport.h"

namespace {

constexpr uint32_t ASK_EVERY_MS = 500;
constexpr uint32_t KEEP_ALIVE_WAITING_MS = 1000; // alone in a room: the joiner's address comes soon
constexpr uint32_t KEEP_ALIVE_MS = 5000;         // well inside any NAT's 30 s for a UDP mapping
constexpr uint32_t PUNCH_EVERY_MS = 200;
constexpr uint32_t PUNCH_FOR_MS = 6000;
constexpr uint32_t REASK_AFTER_MS = 4000;   // relinking: keep-alives unanswered this long
constexpr uint32_t FEED_ASK_FOR_MS = 20000; // a feed the server does not take by then stays unused

// The room maker's feed of one watcher through the relay, on a socket of its own (net_transport's
// feed slot of the same index). It is opened as the server names the watcher, beside the punches,
// so the relayed path is ready when the watcher turns to it.
struct MeetFeed {
    uint32_t watcher_ip;
    uint16_t watcher_port; // 0: the slot serves nobody
    int32_t registered;
    uint64_t nonce, token;
    uint32_t seq, next_send_ms, ask_until_ms;
};

struct Meet {
    int32_t status;
    uint32_t server_ip;
    uint16_t server_port;
    uint8_t op, link;
    uint32_t code, seq;
    uint64_t nonce, token, session;
    uint32_t peer_ip, watcher_ip;
    uint16_t peer_port, watcher_port;
    int32_t seat;
    uint32_t watcher_punch_until_ms;
    int32_t error, stopped, relinking;
    uint32_t next_send_ms, next_punch_ms, punch_until_ms, answered_ms;
    MeetFeed feed[NET_FEEDS];
} meet;

uint64_t nonce_pick(void) {
    // Names a request among the server's; not a game number.
    uint64_t n;
    if (getentropy(&n, sizeof n) != 0) n = net_now_ms(); // glibc and the page alike
    return n | 1;
}
void new_nonce(void) { meet.nonce = nonce_pick(); }

void send_msg(uint32_t ip, uint16_t port, const NetRdvMsg &m) {
    uint8_t bytes[NET_RDV_MAX];
    size_t n = net_rdv_encode(&m, bytes);
    if (n) net_transport_send_raw(ip, port, bytes, n);
}

void send_to_server(uint32_t now) {
    NetRdvMsg m{};
    if (meet.status == NET_MEET_ASKING) {
        m.type = NET_RDV_REQUEST;
        m.op = meet.op;
        m.code = meet.code;
        m.nonce = meet.nonce;
        m.token = meet.token;
        if (meet.op == NET_RDV_OP_JOIN) m.session = meet.session; // 0, or the seat asked for again
        meet.next_send_ms = now + ASK_EVERY_MS;
    } else {
        m.type = NET_RDV_KEEPALIVE;
        m.session = meet.session;
        m.seq = ++meet.seq;
        m.link = meet.link;
        m.code = meet.code;
        meet.next_send_ms =
            now + (meet.status == NET_MEET_PAIRED && !meet.relinking ? KEEP_ALIVE_MS : KEEP_ALIVE_WAITING_MS);
    }
    send_msg(meet.server_ip, meet.server_port, m);
}

void send_feed(int32_t i, uint32_t now) {
    MeetFeed &f = meet.feed[i];
    NetRdvMsg m{};
    m.session = meet.session;
    m.code = meet.code;
    if (!f.registered) {
        if (static_cast<int32_t>(now - f.ask_until_ms) > 0) return;
        m.type = NET_RDV_FEED;
        m.nonce = f.nonce;
        m.token = f.token;
        m.peer_ip = f.watcher_ip;
        m.peer_port = f.watcher_port;
        f.next_send_ms = now + ASK_EVERY_MS;
    } else {
        m.type = NET_RDV_KEEPALIVE;
        m.seq = ++f.seq;
        f.next_send_ms = now + KEEP_ALIVE_MS;
    }
    uint8_t bytes[NET_RDV_MAX];
    size_t n = net_rdv_encode(&m, bytes);
    if (n) net_transport_feed_send_raw(i, meet.server_ip, meet.server_port, bytes, n);
}

// A watcher named: a feed for it, in a slot that serves nobody or whose socket is idle.
void open_feed(uint32_t ip, uint16_t port, uint32_t now) {
    int32_t slot = -1;
    for (int32_t i = 0; i < NET_FEEDS; i++) {
        if (meet.feed[i].watcher_ip == ip && meet.feed[i].watcher_port == port) return;
        if (slot < 0 && !meet.feed[i].watcher_port) slot = i;
    }
    for (int32_t i = 0; i < NET_FEEDS && slot < 0; i++)
        if (net_transport_feed_idle(i)) slot = i;
    if (slot < 0 || !net_transport_feed_open(slot)) return;
    MeetFeed &f = meet.feed[slot];
    f = MeetFeed{};
    f.watcher_ip = ip;
    f.watcher_port = port;
    f.nonce = nonce_pick();
    f.ask_until_ms = now + FEED_ASK_FOR_MS;
    send_feed(slot, now);
}

void take_feed(int32_t i, const NetRaw &raw, uint32_t now) {
    MeetFeed &f = meet.feed[i];
    NetRdvMsg m;
    if (!net_rdv_decode(raw.data, raw.size, &m) || !net_meet_is_server(raw.ip, raw.port) || f.registered) return;
    if (m.type == NET_RDV_CHALLENGE && m.nonce == f.nonce) {
        f.token = m.token;
        send_feed(i, now);
    } else if (m.type == NET_RDV_STATUS && m.nonce == f.nonce) {
        f.registered = 1;
        f.next_send_ms = now + KEEP_ALIVE_MS;
    }
}

void take(const NetRaw &raw, uint32_t now) {
    NetRdvMsg m;
    if (!net_rdv_decode(raw.data, raw.size, &m)) return;
    if (!net_meet_is_server(raw.ip, raw.port)) return; // a punch from the other player: it did its job
    switch (m.type) {
    case NET_RDV_CHALLENGE:
        if (meet.status != NET_MEET_ASKING || m.nonce != meet.nonce) return;
        meet.token = m.token;
        send_to_server(now);
        return;
    case NET_RDV_STATUS:
        if (meet.status == NET_MEET_ASKING ? m.nonce != meet.nonce : m.session != meet.session) return;
        if (meet.status == NET_MEET_FAILED || meet.status == NET_MEET_OFF) return;
        meet.code = m.code;
        meet.session = m.session;
        meet.answered_ms = now;
        meet.seat = m.seat;
        if (meet.status == NET_MEET_ASKING) {
            meet.status = NET_MEET_ROOM;
            meet.next_send_ms = now + KEEP_ALIVE_WAITING_MS;
        }
        if (m.paired &&
            (meet.status != NET_MEET_PAIRED || m.peer_ip != meet.peer_ip || m.peer_port != meet.peer_port)) {
            meet.status = NET_MEET_PAIRED;
            meet.peer_ip = m.peer_ip;
            meet.peer_port = m.peer_port;
            meet.punch_until_ms = now + PUNCH_FOR_MS;
            meet.next_punch_ms = now;
        }
        return;
    case NET_RDV_WATCHER:
        if (m.session != meet.session || meet.status == NET_MEET_ASKING) return;
        meet.watcher_ip = m.peer_ip;
        meet.watcher_port = m.peer_port;
        meet.watcher_punch_until_ms = now + PUNCH_FOR_MS;
        meet.next_punch_ms = now;
        open_feed(m.peer_ip, m.peer_port, now);
        return;
    case NET_RDV_ERROR:
        if (m.reason == NET_RDV_ERR_STOPPING) meet.stopped = 1;
        if (meet.status == NET_MEET_ASKING) {
            meet.status = NET_MEET_FAILED;
            meet.error = m.reason;
        }
        return;
    default: return;
    }
}

} // namespace

void net_meet_start(uint32_t server_ip, uint16_t server_port, uint32_t code, uint64_t session) {
    meet = Meet{};
    meet.status = NET_MEET_ASKING;
    meet.server_ip = server_ip;
    meet.server_port = server_port;
    meet.op = code ? NET_RDV_OP_JOIN : NET_RDV_OP_CREATE;
    meet.code = code;
    meet.session = code ? session : 0;
    new_nonce();
    send_to_server(net_now_ms());
}

void net_meet_tick(void) {
    if (meet.status == NET_MEET_OFF) return;
    uint32_t now = net_now_ms();
    NetRaw raw;
    while (net_transport_take_raw(&raw)) take(raw, now);
    if (meet.status == NET_MEET_FAILED) return;
    for (int32_t i = 0; i < NET_FEEDS; i++) {
        if (!meet.feed[i].watcher_port) continue;
        while (net_transport_feed_take_raw(i, &raw)) take_feed(i, raw, now);
        if (static_cast<int32_t>(now - meet.feed[i].next_send_ms) >= 0) send_feed(i, now);
    }
    // The server no longer hears this side: a new request names the seat by its session. A new
    // nonce, so the server seats it again even from the same address.
    if (meet.relinking && meet.status != NET_MEET_ASKING && now - meet.answered_ms > REASK_AFTER_MS) {
        meet.status = NET_MEET_ASKING;
        meet.op = NET_RDV_OP_JOIN;
        meet.token = 0;
        new_nonce();
        meet.next_send_ms = now;
    }
    if (static_cast<int32_t>(now - meet.next_send_ms) >= 0) send_to_server(now);
    // Both sides punch at once: each one's datagrams open its own NAT for the other's.
    if (static_cast<int32_t>(now - meet.next_punch_ms) < 0) return;
    int32_t to_peer =
        meet.relinking || (meet.status == NET_MEET_PAIRED && static_cast<int32_t>(meet.punch_until_ms - now) > 0);
    int32_t to_watcher = meet.watcher_port && static_cast<int32_t>(meet.watcher_punch_until_ms - now) > 0;
    NetRdvMsg p{};
    p.type = NET_RDV_PUNCH;
    p.code = meet.code;
    if (to_peer && meet.peer_port) send_msg(meet.peer_ip, meet.peer_port, p);
    if (to_watcher) send_msg(meet.watcher_ip, meet.watcher_port, p);
    meet.next_punch_ms = now + PUNCH_EVERY_MS;
}

// The feeds say no goodbye: their watchers' last frames go out through the relay as the
// transport closes, and a watcher's own leaving frees its feed's seat at the server.
void net_meet_stop(void) {
    if (meet.session && meet.status != NET_MEET_FAILED) {
        NetRdvMsg m{};
        m.type = NET_RDV_LEAVE;
        m.session = meet.session;
        m.code = meet.code;
        send_msg(meet.server_ip, meet.server_port, m);
    }
    meet = Meet{};
}

int32_t net_meet_status(void) { return meet.status; }
uint32_t net_meet_code(void) { return meet.code; }
int32_t net_meet_peer(uint32_t *ip, uint16_t *port) {
    if (!meet.peer_port || meet.status == NET_MEET_OFF || meet.status == NET_MEET_FAILED) return 0;
    *ip = meet.peer_ip;
    *port = meet.peer_port;
    return 1;
}
int32_t net_meet_error(void) { return meet.error; }
int32_t net_meet_seat(void) { return meet.seat; }
uint64_t net_meet_session(void) { return meet.session; }
int32_t net_meet_watcher(uint32_t *ip, uint16_t *port) {
    if (!meet.watcher_port) return 0;
    *ip = meet.watcher_ip;
    *port = meet.watcher_port;
    return 1;
}
int32_t net_meet_server_stopped(void) { return meet.stopped; }
void net_meet_set_link(uint8_t link) {
    // The server hears of it at once: a short match may be over before the next keep-alive.
    if (link != meet.link) meet.next_send_ms = net_now_ms();
    meet.link = link;
}
void net_meet_relink(void) {
    if (meet.status == NET_MEET_OFF || meet.status == NET_MEET_FAILED) return;
    meet.relinking = 1;
    meet.answered_ms = meet.next_send_ms = meet.next_punch_ms = net_now_ms();
}
void net_meet_relinked(void) { meet.relinking = 0; }
int32_t net_meet_is_server(uint32_t ip, uint16_t port) {
    return meet.status != NET_MEET_OFF && ip == meet.server_ip && port == meet.server_port;
}
