// Message encoding: every message is a fixed record, so a packet of any other length is foreign.
#include <cstring>

#include "net/net_msg.h"
#include "net/net_bytes.h"

namespace {

constexpr size_t HEADER = 4; // magic, magic, protocol, type

// Payload length of each type, by type number; 0 for no such type.
constexpr size_t PAYLOAD[] = {
    0,
    NET_VERSION_MAX,         // HELLO
    NET_VERSION_MAX + 4 + 8, // WELCOME
    1 + NET_VERSION_MAX,     // REFUSE
    0,                       // READY
    4 + 1 + 1,               // FRAME
    4 + 4,                   // SEED
    4 + 8,                   // HASH
    1,                       // BYE
    4 + 4,                   // RESUME
};
constexpr uint8_t TYPE_LAST = NET_MSG_RESUME;

// A version text: 1 to NET_VERSION_MAX-1 printable characters, NUL after them to the end.
int32_t version_ok(const char *v) {
    int32_t n = 0;
    while (n < NET_VERSION_MAX && v[n]) {
        if (v[n] < 0x20 || v[n] > 0x7E) return 0;
        n++;
    }
    if (n == 0 || n == NET_VERSION_MAX) return 0;
    for (int32_t i = n; i < NET_VERSION_MAX; i++)
        if (v[i]) return 0;
    return 1;
}

int32_t values_ok(const NetMsg *m) {
    switch (m->type) {
    case NET_MSG_HELLO:
    case NET_MSG_WELCOME: return version_ok(m->version);
    case NET_MSG_REFUSE:
        return m->reason >= NET_REFUSE_VERSION && m->reason <= NET_REFUSE_ENDED && version_ok(m->version);
    case NET_MSG_FRAME: return m->seat < STRM_SEAT_COUNT && (m->keys & ~STRM_KEY_MASK) == 0;
    case NET_MSG_BYE: return m->reason >= NET_BYE_QUIT && m->reason <= NET_BYE_DESYNC;
    default: return 1;
    }
}

} // namespace

size_t net_encode(const NetMsg *m, uint8_t *out) {
    if (!m || m->type == 0 || m->type > TYPE_LAST || !values_ok(m)) return 0;
    out[0] = NET_MAGIC0;
    out[1] = NET_MAGIC1;
    out[2] = NET_PROTOCOL;
    out[3] = m->type;
    uint8_t *p = out + HEADER;
    switch (m->type) {
    case NET_MSG_HELLO: std::memcpy(p, m->version, NET_VERSION_MAX); break;
    case NET_MSG_WELCOME:
        std::memcpy(p, m->version, NET_VERSION_MAX);
        net_put32(p + NET_VERSION_MAX, m->seed);
        net_put64(p + NET_VERSION_MAX + 4, m->hash);
        break;
    case NET_MSG_REFUSE:
        p[0] = m->reason;
        std::memcpy(p + 1, m->version, NET_VERSION_MAX);
        break;
    case NET_MSG_FRAME:
        net_put32(p, m->frame);
        p[4] = m->seat;
        p[5] = m->keys;
        break;
    case NET_MSG_SEED:
    case NET_MSG_RESUME:
        net_put32(p, m->frame);
        net_put32(p + 4, m->seed);
        break;
    case NET_MSG_HASH:
        net_put32(p, m->frame);
        net_put64(p + 4, m->hash);
        break;
    case NET_MSG_BYE: p[0] = m->reason; break;
    default: break;
    }
    return HEADER + PAYLOAD[m->type];
}

int32_t net_decode(const uint8_t *data, size_t size, NetMsg *m) {
    std::memset(m, 0, sizeof *m);
    if (!data || size < HEADER) return 0;
    uint8_t type = data[3];
    // HELLO and REFUSE keep their layout in every protocol, so two versions can still name
    // each other when they refuse to play.
    int32_t any_protocol = type == NET_MSG_HELLO || type == NET_MSG_REFUSE;
    if (data[0] != NET_MAGIC0 || data[1] != NET_MAGIC1 || (data[2] != NET_PROTOCOL && !any_protocol)) return 0;
    if (type == 0 || type > TYPE_LAST || size != HEADER + PAYLOAD[type]) return 0;
    const uint8_t *p = data + HEADER;
    m->type = type;
    switch (type) {
    case NET_MSG_HELLO: std::memcpy(m->version, p, NET_VERSION_MAX); break;
    case NET_MSG_WELCOME:
        std::memcpy(m->version, p, NET_VERSION_MAX);
        m->seed = net_get32(p + NET_VERSION_MAX);
        m->hash = net_get64(p + NET_VERSION_MAX + 4);
        break;
    case NET_MSG_REFUSE:
        m->reason = p[0];
        std::memcpy(m->version, p + 1, NET_VERSION_MAX);
        break;
    case NET_MSG_FRAME:
        m->frame = net_get32(p);
        m->seat = p[4];
        m->keys = p[5];
        break;
    case NET_MSG_SEED:
    case NET_MSG_RESUME:
        m->frame = net_get32(p);
        m->seed = net_get32(p + 4);
        break;
    case NET_MSG_HASH:
        m->frame = net_get32(p);
        m->hash = net_get64(p + 4);
        break;
    case NET_MSG_BYE: m->reason = p[0]; break;
    default: break;
    }
    if (!values_ok(m)) {
        std::memset(m, 0, sizeof *m);
        return 0;
    }
    return 1;
}
