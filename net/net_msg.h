// The protocol's messages: small fixed binary records behind a magic and a protocol byte, the
// one codec for everything that speaks to a Quorvane peer.
#pragma once
#include <cstddef>
#include <cstdint>

#include "stream/stream.h" // a FRAME carries a seat and its key bits

constexpr uint8_t NET_MAGIC0 = 'Q', NET_MAGIC1 = 'V';
constexpr uint8_t NET_PROTOCOL = 1;
constexpr int32_t NET_VERSION_MAX = 24; // the game's version text, NUL padded
constexpr size_t NET_MSG_MAX = 48;      // the longest encoded message

enum NetMsgType : uint8_t {
    NET_MSG_HELLO = 1,   // joiner -> host: version
    NET_MSG_WELCOME = 2, // host -> joiner: version, the seed the host's game runs on, its state hash
    NET_MSG_REFUSE = 3,  // host -> joiner: reason, version
    NET_MSG_READY = 4,   // joiner -> host: started, frames may flow
    NET_MSG_FRAME = 5,   // frame number, seat, key bits
    NET_MSG_SEED = 6,    // host -> joiner: seed number, tick
    NET_MSG_HASH = 7,    // frame number, state hash at the end of that frame
    NET_MSG_BYE = 8,     // reason: the sender is leaving
    NET_MSG_RESUME = 9,  // after a dropped link, both ways: frame counts the match messages the
                         // sender has of the other side's; seed is the host's first seed
};
enum NetRefuseReason : uint8_t {
    NET_REFUSE_VERSION = 1,
    NET_REFUSE_BUSY = 2,
    NET_REFUSE_ENDED = 3 // the host's match was cut short: it plays on alone
};
enum NetByeReason : uint8_t {
    NET_BYE_QUIT = 1,
    NET_BYE_DONE = 2,
    NET_BYE_DESYNC = 3
};

struct NetMsg {
    uint8_t type;
    uint8_t seat;                  // FRAME: 0..2
    uint8_t keys;                  // FRAME: StrmKey bits
    uint8_t reason;                // REFUSE, BYE
    uint32_t frame;                // FRAME, HASH; SEED: the seed's number; RESUME: a count
    uint32_t seed;                 // WELCOME, SEED, RESUME
    uint64_t hash;                 // WELCOME, HASH
    char version[NET_VERSION_MAX]; // HELLO, WELCOME, REFUSE: printable ASCII, NUL terminated
};

// The encoded bytes of m into out (NET_MSG_MAX bytes); their count, 0 for a message not valid.
size_t net_encode(const NetMsg *m, uint8_t *out);
// A received packet: 1 with *m filled when it is one well-formed message (magic, protocol,
// type, exact length, values in range); 0 for anything else, *m then zeroed.
int32_t net_decode(const uint8_t *data, size_t size, NetMsg *m);
