// Rooms, tokens and the relay. A source proves its address by echoing a token made from it
// before any room or seat is given to it; until then it gets no more bytes than it sent.
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "net/net_rdv.h"
#include "server/srv.h"

namespace {

constexpr uint64_t TOKEN_PERIOD_MS = 30000; // a token holds for one or two periods
constexpr uint64_t MINUTE_MS = 60000;
// Seats 0 and 1 are the players; 2 and 3 watch (a join to a full room). A watcher gets the
// creator's address and the creator the watcher's, to punch; the match's stream comes from
// the creator's game. Where no hole opens, the creator feeds the watcher from a socket of its
// own (a feed, seats 4 and 5 for watchers 2 and 3): the server relays between the two only,
// since datagrams from the creator's match socket are all for the joiner.
constexpr int32_t WATCH_FIRST = 2, FEED_FIRST = 4, SLOTS = 6;
constexpr int32_t FEED_OF = FEED_FIRST - WATCH_FIRST; // watcher seat + FEED_OF: its feed
// A player silent this long (three keep-alives) has dropped: a new game with the code takes its
// seat, and the other player's game brings it up to the match's frame.
constexpr uint64_t VACANT_MS = 15000;

struct SrvSeat {
    SrvAddr addr;
    uint64_t session, nonce;
    uint32_t last_seq;
    uint8_t present;
    uint8_t relayed;   // a watcher: its stream came through the relay
    uint64_t heard_ms; // its last request, keep-alive or relayed datagram
};
struct SrvRoom {
    uint32_t code;
    uint8_t used, paired, direct, relayed, ended;
    uint32_t owner_ip;
    uint64_t last_ms;
    SrvSeat seat[SLOTS];
};
struct SrvSource {
    uint64_t window_ms;
    int32_t attempts, rooms;
};

SrvConfig cfg;
SrvSendFn send_fn;
SrvLogFn log_fn;
SrvCounters counters;
std::vector<SrvRoom> rooms;
std::vector<int32_t> free_rooms;
std::unordered_map<uint32_t, int32_t> by_code;   // code -> room
std::unordered_map<uint64_t, int32_t> by_addr;   // address -> room * SLOTS + seat
std::unordered_map<uint32_t, SrvSource> sources; // IP address -> its attempts and rooms
uint64_t random_counter;

// ---- SipHash-2-4: tokens and random numbers from the run's key ----
uint64_t rotl(uint64_t x, int b) { return (x << b) | (x >> (64 - b)); }
void sip_round(uint64_t &v0, uint64_t &v1, uint64_t &v2, uint64_t &v3) {
    v0 += v1, v1 = rotl(v1, 13), v1 ^= v0, v0 = rotl(v0, 32);
    v2 += v3, v3 = rotl(v3, 16), v3 ^= v2;
    v0 += v3, v3 = rotl(v3, 21), v3 ^= v0;
    v2 += v1, v1 = rotl(v1, 17), v1 ^= v2, v2 = rotl(v2, 32);
}
uint64_t siphash(uint64_t a, uint64_t b) {
    uint64_t k0 = 0, k1 = 0;
    for (int32_t i = 0; i < 8; i++) {
        k0 |= static_cast<uint64_t>(cfg.key[i]) << (8 * i);
        k1 |= static_cast<uint64_t>(cfg.key[8 + i]) << (8 * i);
    }
    uint64_t v0 = k0 ^ 0x736f6d6570736575ull, v1 = k1 ^ 0x646f72616e646f6dull;
    uint64_t v2 = k0 ^ 0x6c7967656e657261ull, v3 = k1 ^ 0x7465646279746573ull;
    for (uint64_t m : {a, b}) {
        v3 ^= m;
        sip_round(v0, v1, v2, v3), sip_round(v0, v1, v2, v3);
        v0 ^= m;
    }
    uint64_t last = 16ull << 56;
    v3 ^= last;
    sip_round(v0, v1, v2, v3), sip_round(v0, v1, v2, v3);
    v0 ^= last;
    v2 ^= 0xff;
    for (int32_t i = 0; i < 4; i++) sip_round(v0, v1, v2, v3);
    return v0 ^ v1 ^ v2 ^ v3;
}
uint64_t random64(void) { return siphash(0x52414e444f4d0000ull, ++random_counter); }

uint64_t addr_key(const SrvAddr *a) {
    return static_cast<uint64_t>(a->ip) | static_cast<uint64_t>(a->port) << 32 |
           static_cast<uint64_t>(a->transport) << 48;
}

uint64_t token_for(const SrvAddr *a, uint64_t period) {
    uint64_t t = siphash(addr_key(a), period);
    return t ? t : 1;
}
int32_t token_ok(const SrvAddr *a, uint64_t token, uint64_t now_ms) {
    uint64_t period = now_ms / TOKEN_PERIOD_MS;
    return token == token_for(a, period) || (period > 0 && token == token_for(a, period - 1));
}

void out(const SrvAddr *to, const NetRdvMsg *m) {
    uint8_t bytes[NET_RDV_MAX];
    size_t n = net_rdv_encode(m, bytes);
    if (!n) return;
    counters.datagrams_out++;
    counters.bytes_out += n;
    send_fn(to, bytes, n);
}

void logf(const SrvRoom &r, const char *what, const SrvAddr *a) {
    if (!log_fn) return;
    char code[NET_RDV_CODE_CHARS + 1], where[40] = "", line[160];
    net_rdv_code_text(r.code, code);
    if (a) srv_addr_text(a, where, sizeof where);
    std::snprintf(line, sizeof line, "room %s %s%s%s", code, what, a ? " " : "", where);
    log_fn(line);
}

const SrvAddr *current_from; // the source of the datagram in hand, for --verbose

void drop(int32_t reason) {
    counters.dropped[reason]++;
    if (cfg.verbose && log_fn && current_from) {
        char where[40], line[80];
        srv_addr_text(current_from, where, sizeof where);
        std::snprintf(line, sizeof line, "dropped (%s) from %s", srv_drop_name(reason), where);
        log_fn(line);
    }
}

void send_error(const SrvAddr *to, uint8_t reason) {
    NetRdvMsg m{};
    m.type = NET_RDV_ERROR;
    m.reason = reason;
    counters.refused++;
    if (cfg.verbose && log_fn) {
        char where[40], line[120];
        srv_addr_text(to, where, sizeof where);
        std::snprintf(line, sizeof line, "refused %s: %s", where, net_rdv_error_text(reason));
        log_fn(line);
    }
    out(to, &m);
}

void send_status(const SrvRoom &r, int32_t s) {
    // A player hears of the other, a watcher of the creator, a feed of its watcher.
    const SrvSeat &me = r.seat[s], &other = r.seat[s < WATCH_FIRST ? 1 - s : s < FEED_FIRST ? 0 : s - FEED_OF];
    NetRdvMsg m{};
    m.type = NET_RDV_STATUS;
    m.code = r.code;
    m.seat = static_cast<uint8_t>(s >= 2 ? NET_RDV_SEAT_WATCHER : s);
    m.session = me.session;
    m.nonce = me.nonce;
    if (other.present) {
        m.paired = 1;
        // No hole to punch between a browser and a UDP socket: zero says "through the server".
        if (other.addr.transport == me.addr.transport) {
            m.peer_ip = other.addr.ip;
            m.peer_port = other.addr.port;
        }
    }
    out(&me.addr, &m);
}

SrvSource &source(uint32_t ip, uint64_t now_ms) {
    SrvSource &s = sources[ip];
    if (now_ms - s.window_ms >= MINUTE_MS) {
        s.window_ms = now_ms;
        s.attempts = 0;
    }
    return s;
}

void unseat(SrvRoom &r, int32_t s) {
    if (!r.seat[s].present) return;
    by_addr.erase(addr_key(&r.seat[s].addr));
    r.seat[s].present = 0;
    if (s >= WATCH_FIRST && s < FEED_FIRST) unseat(r, s + FEED_OF); // a feed serves its one watcher
}

// The creator hears where a watcher is, so both can punch.
void send_watcher(const SrvRoom &r, int32_t s) {
    if (!r.seat[0].present) return;
    NetRdvMsg m{};
    m.type = NET_RDV_WATCHER;
    m.code = r.code;
    m.session = r.seat[0].session;
    m.peer_ip = r.seat[s].addr.ip;
    m.peer_port = r.seat[s].addr.port;
    out(&r.seat[0].addr, &m);
}

void close_room(int32_t id, const char *why) {
    SrvRoom &r = rooms[id];
    logf(r, why, nullptr);
    for (int32_t s = 0; s < SLOTS; s++) unseat(r, s);
    by_code.erase(r.code);
    auto src = sources.find(r.owner_ip);
    if (src != sources.end() && src->second.rooms > 0) src->second.rooms--;
    r.used = 0;
    free_rooms.push_back(id);
    counters.rooms_open--;
}

void seat_player(int32_t id, int32_t s, const SrvAddr *from, uint64_t session, uint64_t nonce, uint64_t now_ms) {
    SrvRoom &r = rooms[id];
    unseat(r, s);
    SrvSeat &seat = r.seat[s];
    seat.addr = *from;
    seat.session = session;
    seat.nonce = nonce;
    seat.last_seq = 0;
    seat.present = 1;
    seat.relayed = 0;
    seat.heard_ms = now_ms;
    by_addr[addr_key(from)] = id * SLOTS + s;
}

// The seat of a paired room's player gone silent, for a new game with the code; -1 for none. The
// joiner's first: its seat is the one a newcomer took before the maker's could be.
int32_t vacant_seat(const SrvRoom &r, uint64_t now_ms) {
    auto silent = [&](int32_t s) { return !r.seat[s].present || now_ms - r.seat[s].heard_ms >= VACANT_MS; };
    if (!r.seat[1].session) return -1;
    if (r.seat[0].present && silent(1)) return 1;
    if (silent(0)) return 0;
    return -1;
}

void create_room(const SrvAddr *from, const NetRdvMsg &m, uint64_t now_ms) {
    SrvSource &src = source(from->ip, now_ms);
    if (counters.rooms_open >= static_cast<uint32_t>(cfg.max_rooms)) return send_error(from, NET_RDV_ERR_BUSY);
    if (src.rooms >= cfg.max_rooms_per_addr) return send_error(from, NET_RDV_ERR_ADDRESS);
    uint32_t code;
    do code = static_cast<uint32_t>(random64() & ((1u << (5 * NET_RDV_CODE_CHARS)) - 1));
    while (code == 0 || by_code.count(code));
    int32_t id;
    if (!free_rooms.empty()) {
        id = free_rooms.back();
        free_rooms.pop_back();
    } else {
        id = static_cast<int32_t>(rooms.size());
        rooms.push_back({});
    }
    SrvRoom &r = rooms[id];
    r = SrvRoom{};
    r.code = code;
    r.used = 1;
    r.owner_ip = from->ip;
    r.last_ms = now_ms;
    by_code[code] = id;
    src.rooms++;
    counters.rooms_open++;
    counters.rooms_created++;
    seat_player(id, 0, from, random64() | 1, m.nonce, now_ms);
    logf(r, "created by", from);
    send_status(r, 0);
}

void join_room(const SrvAddr *from, const NetRdvMsg &m, uint64_t now_ms) {
    auto it = by_code.find(m.code);
    if (it == by_code.end()) return send_error(from, NET_RDV_ERR_NO_ROOM);
    int32_t id = it->second;
    SrvRoom &r = rooms[id];
    if (r.ended) return send_error(from, NET_RDV_ERR_ENDED);
    int32_t s = -1;
    if (m.session) {
        // A player back after its link dropped: its session names its seat.
        for (int32_t i = 0; i < 2; i++)
            if (r.seat[i].session == m.session) s = i;
        if (s < 0) return send_error(from, NET_RDV_ERR_FULL);
        seat_player(id, s, from, m.session, m.nonce, now_ms);
        counters.rejoins++;
        logf(r, s == 0 ? "creator back from" : "joiner back from", from);
    } else if ((s = vacant_seat(r, now_ms)) >= 0) {
        seat_player(id, s, from, random64() | 1, m.nonce, now_ms);
        counters.rejoins++;
        logf(r, s == 0 ? "creator replaced by a new game from" : "joiner replaced by a new game from", from);
    } else if (r.seat[1].session) {
        // A full room: the newcomer watches, while a watcher's seat is free. Only a desktop
        // maker's game feeds watchers, over UDP, so only a desktop game can watch.
        if (from->transport != SRV_TRANSPORT_UDP) return send_error(from, NET_RDV_ERR_WATCH_PAGE);
        if (r.seat[0].addr.transport != SRV_TRANSPORT_UDP) return send_error(from, NET_RDV_ERR_WATCH_PAGE_ROOM);
        for (int32_t i = WATCH_FIRST; i < FEED_FIRST && s < 0; i++)
            if (!r.seat[i].present) s = i;
        if (s < 0) return send_error(from, NET_RDV_ERR_FULL);
        seat_player(id, s, from, random64() | 1, m.nonce, now_ms);
        counters.spectators++;
        logf(r, "watched from", from);
        r.last_ms = now_ms;
        send_status(r, s);
        send_watcher(r, s);
        return;
    } else {
        s = 1;
        seat_player(id, 1, from, random64() | 1, m.nonce, now_ms);
        if (!r.paired) counters.rooms_paired++;
        r.paired = 1;
        logf(r, "joined by", from);
    }
    r.last_ms = now_ms;
    send_status(r, s);
    if (r.seat[1 - s].present) send_status(r, 1 - s);
}

// 1 when the request echoes this address's token; else it is challenged to.
int32_t proven(const SrvAddr *from, const NetRdvMsg &m, uint64_t now_ms) {
    if (m.token && token_ok(from, m.token, now_ms)) return 1;
    if (m.token) drop(SRV_DROP_TOKEN);
    // The challenge is shorter than the request: nothing to gain by spoofing a victim.
    NetRdvMsg c{};
    c.type = NET_RDV_CHALLENGE;
    c.nonce = m.nonce;
    c.token = token_for(from, now_ms / TOKEN_PERIOD_MS);
    out(from, &c);
    return 0;
}

void on_request(const SrvAddr *from, const NetRdvMsg &m, uint64_t now_ms) {
    if (!proven(from, m, now_ms)) return;
    // The same request again (its answer was lost): the same answer, nothing new made.
    auto seated = by_addr.find(addr_key(from));
    if (seated != by_addr.end()) {
        SrvRoom &r = rooms[seated->second / SLOTS];
        int32_t s = seated->second % SLOTS;
        if (r.seat[s].nonce == m.nonce) {
            drop(SRV_DROP_REPLAY);
            r.last_ms = now_ms;
            send_status(r, s);
            return;
        }
        unseat(r, s); // the same socket asks for another room: it leaves this one
    }
    SrvSource &src = source(from->ip, now_ms);
    if (src.attempts >= cfg.max_joins_per_min) {
        drop(SRV_DROP_RATE);
        return send_error(from, NET_RDV_ERR_TOO_MANY);
    }
    src.attempts++;
    if (m.op == NET_RDV_OP_CREATE)
        create_room(from, m, now_ms);
    else
        join_room(from, m, now_ms);
}

// The creator's feed for the watcher at peer_ip/peer_port. Only the creator knows its session,
// so a feed counts no attempts; a source seated as a player or watcher cannot become one.
void on_feed(const SrvAddr *from, const NetRdvMsg &m, uint64_t now_ms) {
    if (!proven(from, m, now_ms)) return;
    auto room = by_code.find(m.code);
    if (room == by_code.end()) return drop(SRV_DROP_STRANGER);
    int32_t id = room->second;
    SrvRoom &r = rooms[id];
    if (!r.seat[0].present || r.seat[0].session != m.session) return drop(SRV_DROP_STRANGER);
    int32_t f = -1;
    for (int32_t w = WATCH_FIRST; w < FEED_FIRST; w++) {
        const SrvAddr &a = r.seat[w].addr;
        if (r.seat[w].present && a.transport == SRV_TRANSPORT_UDP && a.ip == m.peer_ip && a.port == m.peer_port)
            f = w + FEED_OF;
    }
    if (f < 0) return drop(SRV_DROP_STRANGER);
    auto seated = by_addr.find(addr_key(from));
    int32_t at = seated == by_addr.end() ? -1 : seated->second;
    if (at == id * SLOTS + f) {
        drop(SRV_DROP_REPLAY); // its answer was lost
    } else {
        // A feed that served another watcher of this room may serve this one instead.
        if (at >= 0 && (at / SLOTS != id || at % SLOTS < FEED_FIRST)) return drop(SRV_DROP_STRANGER);
        if (at >= 0) unseat(r, at % SLOTS);
        seat_player(id, f, from, m.session, m.nonce, now_ms);
        logf(r, "feeds a watcher through the relay from", from);
    }
    r.last_ms = now_ms;
    send_status(r, f);
}

// The room and seat of a message that names a session: only from that seat's own address.
SrvRoom *seat_of(const SrvAddr *from, uint64_t session, int32_t *s) {
    auto it = by_addr.find(addr_key(from));
    if (it == by_addr.end()) return nullptr;
    SrvRoom &r = rooms[it->second / SLOTS];
    *s = it->second % SLOTS;
    return r.seat[*s].session == session ? &r : nullptr;
}

void on_keepalive(const SrvAddr *from, const NetRdvMsg &m, uint64_t now_ms) {
    int32_t s;
    SrvRoom *r = seat_of(from, m.session, &s);
    if (!r) return drop(SRV_DROP_STRANGER);
    if (m.seq <= r->seat[s].last_seq) return drop(SRV_DROP_REPLAY);
    r->seat[s].last_seq = m.seq;
    r->seat[s].heard_ms = now_ms;
    r->last_ms = now_ms;
    if (m.link == NET_RDV_LINK_DIRECT && !r->direct && s < 2) {
        r->direct = 1;
        counters.direct++;
        logf(*r, "plays direct", nullptr);
    }
    send_status(*r, s);
    // The creator hears of a watcher again with its first keep-alives while it has no feed: the
    // first word may have been lost, and without it the creator neither punches nor feeds.
    if (s >= WATCH_FIRST && s < FEED_FIRST && m.seq <= 3 && !r->seat[s + FEED_OF].present) send_watcher(*r, s);
}

void leave(SrvRoom *r, int32_t s) {
    int32_t id = static_cast<int32_t>(r - rooms.data());
    unseat(*r, s);
    if (s >= FEED_FIRST) return logf(*r, "left by a watcher's feed", nullptr);
    if (s >= WATCH_FIRST) return logf(*r, "left by a watcher", nullptr);
    logf(*r, s == 0 ? "left by its creator" : "left by its joiner", nullptr);
    // A creator leaving a paired room ends its match: the code stays, until the room expires,
    // to tell whoever comes with it why there is no game.
    if (r->ended || (s == 0 && r->paired)) {
        r->ended = 1;
        return;
    }
    if (!r->seat[1 - s].present) close_room(id, "closed: both players left");
}

void on_leave(const SrvAddr *from, const NetRdvMsg &m) {
    int32_t s;
    SrvRoom *r = seat_of(from, m.session, &s);
    if (!r) return drop(SRV_DROP_STRANGER);
    leave(r, s);
}

void relay(const SrvAddr *from, const uint8_t *data, size_t size, uint64_t now_ms) {
    auto it = by_addr.find(addr_key(from));
    if (it == by_addr.end()) return drop(SRV_DROP_STRANGER);
    SrvRoom &r = rooms[it->second / SLOTS];
    int32_t s = it->second % SLOTS;
    // The two players' datagrams go to each other, a watcher's to its feed and a feed's to its
    // watcher: never from a watcher or a feed to a player.
    SrvSeat &other = r.seat[s < WATCH_FIRST ? 1 - s : s < FEED_FIRST ? s + FEED_OF : s - FEED_OF];
    if (s >= WATCH_FIRST && s < FEED_FIRST && !r.seat[s + FEED_OF].present) return drop(SRV_DROP_STRANGER);
    r.last_ms = r.seat[s].heard_ms = now_ms;
    if (!other.present) return drop(SRV_DROP_STRANGER);
    if (s < WATCH_FIRST && !r.relayed) {
        r.relayed = 1;
        counters.relayed++;
        logf(r, "relayed", nullptr);
    } else if (s >= FEED_FIRST && !other.relayed) {
        other.relayed = 1;
        counters.relayed_spectators++;
        logf(r, "watched through the relay", nullptr);
    }
    counters.relayed_datagrams++;
    counters.datagrams_out++;
    counters.bytes_out += size;
    send_fn(&other.addr, data, size);
}

} // namespace

void srv_default_config(SrvConfig *config) {
    *config = SrvConfig{};
    config->max_rooms = 10000;
    config->max_rooms_per_addr = 16;
    config->max_joins_per_min = 10;
    config->idle_ms = 10 * MINUTE_MS;
}

int32_t srv_init(const SrvConfig *config, SrvSendFn send, SrvLogFn log) {
    cfg = *config;
    send_fn = send;
    log_fn = log;
    counters = SrvCounters{};
    rooms.clear();
    free_rooms.clear();
    by_code.clear();
    by_addr.clear();
    sources.clear();
    random_counter = 0;
    return send != nullptr;
}

void srv_datagram(const SrvAddr *from, const uint8_t *data, size_t size, uint64_t now_ms) {
    counters.datagrams_in++;
    counters.bytes_in += size;
    current_from = from;
    if (size > NET_RDV_RELAY_MAX) return drop(SRV_DROP_OVERSIZED);
    if (!net_rdv_is_ours(data, size)) {
        if (size < 4) return drop(SRV_DROP_SHORT);
        return relay(from, data, size, now_ms);
    }
    NetRdvMsg m;
    if (!net_rdv_decode(data, size, &m))
        return drop(size < 4 || (data[2] == NET_RDV_PROTOCOL && size < net_rdv_length(data[3])) ? SRV_DROP_SHORT
                                                                                                : SRV_DROP_GARBAGE);
    switch (m.type) {
    case NET_RDV_REQUEST: return on_request(from, m, now_ms);
    case NET_RDV_KEEPALIVE: return on_keepalive(from, m, now_ms);
    case NET_RDV_LEAVE: return on_leave(from, m);
    case NET_RDV_FEED: return on_feed(from, m, now_ms);
    default: return drop(SRV_DROP_GARBAGE); // the server's own messages, or a punch gone astray
    }
}

int32_t srv_partner(const SrvAddr *a, SrvAddr *other, int32_t *seat) {
    auto it = by_addr.find(addr_key(a));
    if (it == by_addr.end() || it->second % SLOTS >= WATCH_FIRST) return 0; // a watcher plays with nobody
    const SrvRoom &r = rooms[it->second / SLOTS];
    const SrvSeat &o = r.seat[1 - it->second % SLOTS];
    if (!o.present) return 0;
    *other = o.addr;
    *seat = it->second % SLOTS;
    return 1;
}

void srv_gone(const SrvAddr *a) {
    auto it = by_addr.find(addr_key(a));
    if (it == by_addr.end()) return;
    SrvRoom &r = rooms[it->second / SLOTS];
    int32_t s = it->second % SLOTS;
    // A closed page says no goodbye: a paired room's player may come back in a new one, so its
    // seat waits for it as a killed game's does. A goodbye (LEAVE) ends the match as before.
    if (s < WATCH_FIRST && r.paired && !r.ended) {
        unseat(r, s);
        return logf(r, s == 0 ? "lost its creator's connection" : "lost its joiner's connection", nullptr);
    }
    leave(&r, s);
}

void srv_tick(uint64_t now_ms) {
    for (size_t i = 0; i < rooms.size(); i++)
        if (rooms[i].used && now_ms - rooms[i].last_ms >= cfg.idle_ms) {
            counters.rooms_expired++;
            close_room(static_cast<int32_t>(i), "expired: idle for 10 minutes");
        }
    for (auto it = sources.begin(); it != sources.end();) {
        if (it->second.rooms == 0 && now_ms - it->second.window_ms >= MINUTE_MS)
            it = sources.erase(it);
        else
            ++it;
    }
}

void srv_shutdown(void) {
    NetRdvMsg m{};
    m.type = NET_RDV_ERROR;
    m.reason = NET_RDV_ERR_STOPPING;
    for (const SrvRoom &r : rooms)
        if (r.used)
            for (const SrvSeat &s : r.seat)
                if (s.present) out(&s.addr, &m);
    for (size_t i = 0; i < rooms.size(); i++)
        if (rooms[i].used) close_room(static_cast<int32_t>(i), "closed: the server stops");
    rooms.clear();
    free_rooms.clear();
    by_code.clear();
    by_addr.clear();
    sources.clear();
}

SrvCounters srv_counters(void) { return counters; }

const char *srv_drop_name(int32_t reason) {
    static const char *const names[SRV_DROP_COUNT] = {"short",  "garbage",  "oversized", "token",
                                                      "replay", "stranger", "rate"};
    return reason >= 0 && reason < SRV_DROP_COUNT ? names[reason] : "?";
}

void srv_stats_line(char *line, size_t size) {
    const SrvCounters &c = counters;
    int n = std::snprintf(line, size,
                          "stats rooms=%u created=%u paired=%u expired=%u direct=%u relayed=%u rejoins=%u "
                          "spectators=%u relayed_spectators=%u relayed_datagrams=%" PRIu64 " in=%" PRIu64
                          " out=%" PRIu64 " refused=%u dropped",
                          c.rooms_open, c.rooms_created, c.rooms_paired, c.rooms_expired, c.direct, c.relayed,
                          c.rejoins, c.spectators, c.relayed_spectators, c.relayed_datagrams, c.datagrams_in,
                          c.datagrams_out, c.refused);
    for (int32_t i = 0; i < SRV_DROP_COUNT && n > 0 && static_cast<size_t>(n) < size; i++)
        n += std::snprintf(line + n, size - n, "%s%s=%" PRIu64, i ? "," : " ", srv_drop_name(i), c.dropped[i]);
}

void srv_addr_text(const SrvAddr *a, char *out, size_t size) {
    const uint8_t *b = reinterpret_cast<const uint8_t *>(&a->ip);
    if (a->transport == SRV_TRANSPORT_UDP)
        std::snprintf(out, size, "%u.%u.%u.%u:%u", b[0], b[1], b[2], b[3], a->port);
    else if (a->transport == SRV_TRANSPORT_WS)
        std::snprintf(out, size, "ws %u.%u.%u.%u#%u", b[0], b[1], b[2], b[3], a->port);
    else
        std::snprintf(out, size, "conn%u/%u:%u", a->transport, a->ip, a->port);
}
