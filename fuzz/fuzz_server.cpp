// The room server's input: any datagram from anyone, by UDP or WebSocket, in any order.
#include <cstdint>
#include <cstring>

#include "net/net_rdv.h"
#include "server/srv.h"

namespace {
uint64_t sent_bytes;
void count_send(const SrvAddr *, const uint8_t *, size_t size) { sent_bytes += size; }
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    NetRdvMsg m;
    if (net_rdv_decode(data, size, &m)) {
        // What was accepted must encode back to the very same bytes.
        uint8_t again[NET_RDV_MAX];
        if (net_rdv_encode(&m, again) != size || std::memcmp(again, data, size) != 0) __builtin_trap();
    }
    // The bytes cut into datagrams (first byte of each: its length and which of four sources sent
    // it) and fed to a fresh server; a token-less flood never earns more bytes than it sent.
    SrvConfig c;
    srv_default_config(&c);
    srv_init(&c, count_send, nullptr);
    sent_bytes = 0;
    size_t at = 0;
    uint64_t now = 0;
    while (at < size) {
        uint8_t head = data[at++];
        size_t n = head & 63;
        if (n > size - at) n = size - at;
        // Two of the sources are browsers (WebSocket), whose connections may close at any time.
        uint8_t transport = head >> 7 ? SRV_TRANSPORT_WS : SRV_TRANSPORT_UDP;
        SrvAddr from{0x0100007fu, static_cast<uint16_t>(4000 + (head >> 6)), transport};
        srv_datagram(&from, data + at, n, now);
        now += 1000;
        if ((head & 7) == 0) srv_tick(now);
        if ((head & 15) == 9 && transport == SRV_TRANSPORT_WS) srv_gone(&from);
        at += n;
    }
    srv_shutdown();
    return 0;
}
