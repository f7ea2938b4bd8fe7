// The network message decoder: any bytes a peer sends.
#include <cstdint>
#include <cstring>

#include "net/net_msg.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    NetMsg m;
    if (net_decode(data, size, &m)) {
        // What was accepted must encode back to the very same bytes.
        uint8_t again[NET_MSG_MAX];
        size_t n = net_encode(&m, again);
        if (n != size || (std::memcmp(again, data, n) != 0 && data[2] == NET_PROTOCOL)) __builtin_trap();
    }
    return 0;
}
