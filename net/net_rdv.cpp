// Rendezvous message encoding: fixed records, little-endian, like the match's messages.
#include "net/net_rdv.h"
#include "net/net_bytes.h"

#include <cerrno>
#include <cstring>

namespace {

constexpr size_t HEADER = 4;
// Whole length of each type, by type number. A player's messages are at least as long as the
// server's answers to them: the server never sends an unproven address more than it got.
constexpr size_t LENGTH[] = {0, 48, 20, 36, 36, 8, 16, 12, 24, 48};
constexpr uint8_t TYPE_LAST = NET_RDV_FEED;
constexpr char SYMBOLS[] = "0123456789ABCDEFGHJKMNPQRSTVWXYZ";

int32_t values_ok(const NetRdvMsg *m) {
    if (m->code >> (5 * NET_RDV_CODE_CHARS)) return 0;
    switch (m->type) {
    case NET_RDV_REQUEST:
        return (m->op == NET_RDV_OP_CREATE && m->code == 0 && m->session == 0) || m->op == NET_RDV_OP_JOIN;
    case NET_RDV_STATUS: return m->seat <= NET_RDV_SEAT_WATCHER && m->paired <= 1;
    case NET_RDV_WATCHER: return m->session != 0;
    case NET_RDV_FEED: return m->session != 0 && m->peer_port != 0;
    case NET_RDV_KEEPALIVE: return m->link <= NET_RDV_LINK_RELAYED && m->session != 0;
    case NET_RDV_ERROR: return m->reason >= 1 && m->reason <= NET_RDV_ERR_LAST;
    case NET_RDV_LEAVE: return m->session != 0;
    default: return 1;
    }
}

} // namespace

size_t net_rdv_encode(const NetRdvMsg *m, uint8_t *out) {
    if (!m || m->type == 0 || m->type > TYPE_LAST || !values_ok(m)) return 0;
    size_t n = LENGTH[m->type];
    std::memset(out, 0, n);
    out[0] = NET_RDV_MAGIC0;
    out[1] = NET_RDV_MAGIC1;
    out[2] = NET_RDV_PROTOCOL;
    out[3] = m->type;
    uint8_t *p = out + HEADER;
    switch (m->type) {
    case NET_RDV_REQUEST:
        p[0] = m->op;
        net_put32(p + 4, m->code);
        net_put64(p + 8, m->nonce);
        net_put64(p + 16, m->token);
        net_put64(p + 24, m->session);
        break;
    case NET_RDV_CHALLENGE:
        net_put64(p, m->nonce);
        net_put64(p + 8, m->token);
        break;
    case NET_RDV_STATUS:
        net_put32(p, m->code);
        p[4] = m->seat;
        p[5] = m->paired;
        net_put64(p + 8, m->session);
        std::memcpy(p + 16, &m->peer_ip, 4);
        net_put16(p + 20, m->peer_port);
        net_put64(p + 24, m->nonce);
        break;
    case NET_RDV_KEEPALIVE:
        net_put64(p, m->session);
        net_put32(p + 8, m->seq);
        p[12] = m->link;
        net_put32(p + 16, m->code);
        break;
    case NET_RDV_ERROR: p[0] = m->reason; break;
    case NET_RDV_LEAVE:
        net_put64(p, m->session);
        net_put32(p + 8, m->code);
        break;
    case NET_RDV_PUNCH: net_put32(p, m->code); break;
    case NET_RDV_WATCHER:
        net_put32(p, m->code);
        net_put64(p + 4, m->session);
        std::memcpy(p + 12, &m->peer_ip, 4);
        net_put16(p + 16, m->peer_port);
        break;
    case NET_RDV_FEED:
        net_put32(p, m->code);
        net_put64(p + 4, m->nonce);
        net_put64(p + 12, m->token);
        net_put64(p + 20, m->session);
        std::memcpy(p + 28, &m->peer_ip, 4);
        net_put16(p + 32, m->peer_port);
        break;
    default: return 0;
    }
    return n;
}

size_t net_rdv_length(uint8_t type) { return type <= TYPE_LAST ? LENGTH[type] : 0; }

int32_t net_rdv_is_ours(const uint8_t *data, size_t size) {
    return size >= 2 && data[0] == NET_RDV_MAGIC0 && data[1] == NET_RDV_MAGIC1;
}

int32_t net_rdv_decode(const uint8_t *data, size_t size, NetRdvMsg *m) {
    std::memset(m, 0, sizeof *m);
    if (!data || size < HEADER || !net_rdv_is_ours(data, size) || data[2] != NET_RDV_PROTOCOL) return 0;
    uint8_t type = data[3];
    if (type == 0 || type > TYPE_LAST || size != LENGTH[type]) return 0;
    const uint8_t *p = data + HEADER;
    NetRdvMsg r{};
    r.type = type;
    // Every byte not read below must be zero: padding and reserved bytes carry nothing.
    uint8_t used[NET_RDV_MAX] = {};
    auto take = [&](size_t at, size_t n) { std::memset(used + HEADER + at, 1, n); };
    switch (type) {
    case NET_RDV_REQUEST:
        r.op = p[0], take(0, 1);
        r.code = net_get32(p + 4), take(4, 4);
        r.nonce = net_get64(p + 8), take(8, 8);
        r.token = net_get64(p + 16), take(16, 8);
        r.session = net_get64(p + 24), take(24, 8);
        break;
    case NET_RDV_CHALLENGE:
        r.nonce = net_get64(p), take(0, 8);
        r.token = net_get64(p + 8), take(8, 8);
        break;
    case NET_RDV_STATUS:
        r.code = net_get32(p), take(0, 4);
        r.seat = p[4], take(4, 1);
        r.paired = p[5], take(5, 1);
        r.session = net_get64(p + 8), take(8, 8);
        std::memcpy(&r.peer_ip, p + 16, 4), take(16, 4);
        r.peer_port = net_get16(p + 20), take(20, 2);
        r.nonce = net_get64(p + 24), take(24, 8);
        break;
    case NET_RDV_KEEPALIVE:
        r.session = net_get64(p), take(0, 8);
        r.seq = net_get32(p + 8), take(8, 4);
        r.link = p[12], take(12, 1);
        r.code = net_get32(p + 16), take(16, 4);
        break;
    case NET_RDV_ERROR: r.reason = p[0], take(0, 1); break;
    case NET_RDV_LEAVE:
        r.session = net_get64(p), take(0, 8);
        r.code = net_get32(p + 8), take(8, 4);
        break;
    case NET_RDV_PUNCH: r.code = net_get32(p), take(0, 4); break;
    case NET_RDV_WATCHER:
        r.code = net_get32(p), take(0, 4);
        r.session = net_get64(p + 4), take(4, 8);
        std::memcpy(&r.peer_ip, p + 12, 4), take(12, 4);
        r.peer_port = net_get16(p + 16), take(16, 2);
        break;
    case NET_RDV_FEED:
        r.code = net_get32(p), take(0, 4);
        r.nonce = net_get64(p + 4), take(4, 8);
        r.token = net_get64(p + 12), take(12, 8);
        r.session = net_get64(p + 20), take(20, 8);
        std::memcpy(&r.peer_ip, p + 28, 4), take(28, 4);
        r.peer_port = net_get16(p + 32), take(32, 2);
        break;
    default: return 0;
    }
    for (size_t i = HEADER; i < size; i++)
        if (!used[i] && data[i]) return 0;
    if (!values_ok(&r)) return 0;
    *m = r;
    return 1;
}

void net_rdv_code_text(uint32_t code, char *out) {
    for (int32_t i = 0; i < NET_RDV_CODE_CHARS; i++)
        out[i] = SYMBOLS[(code >> (5 * (NET_RDV_CODE_CHARS - 1 - i))) & 31];
    out[NET_RDV_CODE_CHARS] = '\0';
}

int32_t net_rdv_code_parse(const char *text, uint32_t *code) {
    if (!text) return 0;
    uint32_t v = 0;
    int32_t n = 0;
    for (const char *c = text; *c; c++) {
        char ch = *c;
        if (ch == ' ' || ch == '-') continue;
        if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
        if (ch == 'O') ch = '0';
        if (ch == 'I' || ch == 'L') ch = '1';
        const char *at = std::strchr(SYMBOLS, ch);
        if (!at || !ch || n == NET_RDV_CODE_CHARS) return 0;
        v = (v << 5) | static_cast<uint32_t>(at - SYMBOLS);
        n++;
    }
    if (n != NET_RDV_CODE_CHARS) return 0;
    *code = v;
    return 1;
}

const char *net_rdv_error_text(uint8_t reason) {
    switch (reason) {
    case NET_RDV_ERR_NO_ROOM: return "No room has that code (mistyped, or it expired)";
    case NET_RDV_ERR_FULL: return "That room already has its two players";
    case NET_RDV_ERR_TOO_MANY: return "Too many tries from this address: wait a minute";
    case NET_RDV_ERR_BUSY: return "The server is full: try again later";
    case NET_RDV_ERR_ADDRESS: return "This address holds too many rooms already";
    case NET_RDV_ERR_STOPPING: return "The server is shutting down";
    case NET_RDV_ERR_ENDED: return "That room's match was cut short and its maker plays on alone: make a new room";
    case NET_RDV_ERR_WATCH_PAGE:
        return "That room already has its two players, and its match can be watched only in the desktop game";
    case NET_RDV_ERR_WATCH_PAGE_ROOM:
        return "That room already has its two players, and a match made in a browser cannot be watched";
    default: return "The server refused";
    }
}

const char *net_rdv_listen_error_text(int err) {
    switch (err) {
    case EADDRINUSE: return "another program uses that port";
    case EACCES: return "not allowed (ports below 1024 need root)";
    case EADDRNOTAVAIL: return "that address is not on this machine";
    default: return std::strerror(err);
    }
}
