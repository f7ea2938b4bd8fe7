// The message decoder: every message survives its own encoding; anything malformed is refused.
#include <gtest/gtest.h>

#include <cstring>

#include "net/net.h"

namespace {

NetMsg msg(uint8_t type) {
    NetMsg m{};
    m.type = type;
    std::strcpy(m.version, "1.2.3");
    m.frame = 0x01020304;
    m.seat = STRM_SEAT_MENUS;
    m.keys = STRM_KEY_RETURN | STRM_KEY_ESCAPE;
    m.seed = 0xA0B0C0D0;
    m.hash = 0x1122334455667788ull;
    m.reason = type == NET_MSG_REFUSE ? uint8_t{NET_REFUSE_VERSION} : uint8_t{NET_BYE_DESYNC};
    return m;
}

struct Sized {
    uint8_t type;
    size_t size;
};
// Header of four bytes, then the fixed payload of each type.
constexpr Sized SIZES[] = {{NET_MSG_HELLO, 28}, {NET_MSG_WELCOME, 40}, {NET_MSG_REFUSE, 29},
                           {NET_MSG_READY, 4},  {NET_MSG_FRAME, 10},   {NET_MSG_SEED, 12},
                           {NET_MSG_HASH, 16},  {NET_MSG_BYE, 5},      {NET_MSG_RESUME, 12}};

TEST(NetMsg, EveryTypeRoundTripsAtItsFixedSizeAndNoOtherAndOnlyValidOnesEncode) {
    for (const Sized &s : SIZES) {
        NetMsg in = msg(s.type), out;
        uint8_t bytes[NET_MSG_MAX + 1] = {};
        size_t n = net_encode(&in, bytes);
        ASSERT_EQ(n, s.size) << int(s.type);
        ASSERT_TRUE(net_decode(bytes, n, &out)) << int(s.type);
        EXPECT_EQ(out.type, s.type);
        EXPECT_FALSE(net_decode(bytes, n - 1, &out)) << int(s.type);
        EXPECT_FALSE(net_decode(bytes, n + 1, &out)) << int(s.type);
    }
    // Invalid messages are not encoded.
    uint8_t bytes[NET_MSG_MAX];
    NetMsg bad = msg(NET_MSG_FRAME), none{};
    bad.seat = 7;
    EXPECT_EQ(net_encode(&bad, bytes), 0u);
    EXPECT_EQ(net_encode(&none, bytes), 0u);
}

TEST(NetMsg, FieldsArriveAsSent) {
    NetMsg out;
    uint8_t bytes[NET_MSG_MAX];
    NetMsg f = msg(NET_MSG_FRAME);
    ASSERT_TRUE(net_decode(bytes, net_encode(&f, bytes), &out));
    EXPECT_EQ(out.frame, 0x01020304u);
    EXPECT_EQ(out.seat, STRM_SEAT_MENUS);
    EXPECT_EQ(out.keys, STRM_KEY_RETURN | STRM_KEY_ESCAPE);
    NetMsg w = msg(NET_MSG_WELCOME);
    ASSERT_TRUE(net_decode(bytes, net_encode(&w, bytes), &out));
    EXPECT_STREQ(out.version, "1.2.3");
    EXPECT_EQ(out.seed, 0xA0B0C0D0u);
    EXPECT_EQ(out.hash, 0x1122334455667788ull);
    // Little-endian on the wire, whatever the machine.
    EXPECT_EQ(bytes[4 + NET_VERSION_MAX], 0xD0);
    // A hello of another protocol still names its version, so the refusal can name both.
    NetMsg h = msg(NET_MSG_HELLO);
    size_t n = net_encode(&h, bytes);
    bytes[2] = NET_PROTOCOL + 1;
    ASSERT_TRUE(net_decode(bytes, n, &out));
    EXPECT_STREQ(out.version, "1.2.3");
}

TEST(NetMsg, MalformedPacketsAreRefused) {
    struct Case {
        const char *name;
        uint8_t type;
        int32_t offset; // byte to change, -1 for a field change below
        uint8_t value;
    };
    const Case cases[] = {
        {"magic", NET_MSG_FRAME, 0, 'X'},           {"second magic", NET_MSG_FRAME, 1, 'X'},
        {"protocol", NET_MSG_FRAME, 2, 9},          {"type 0", NET_MSG_FRAME, 3, 0},
        {"type 10", NET_MSG_RESUME, 3, 10},         {"seat 3", NET_MSG_FRAME, 8, 3},
        {"key bit 0x80", NET_MSG_FRAME, 9, 0x83},   {"bye reason 0", NET_MSG_BYE, 4, 0},
        {"bye reason 4", NET_MSG_BYE, 4, 4},        {"refuse reason 4", NET_MSG_REFUSE, 4, 4},
        {"empty version", NET_MSG_HELLO, 4, 0},     {"control char", NET_MSG_HELLO, 5, '\n'},
        {"text after NUL", NET_MSG_HELLO, 20, 'x'}, {"unterminated", NET_MSG_HELLO, 27, 'x'},
    };
    for (const Case &c : cases) {
        NetMsg in = msg(c.type), out;
        uint8_t bytes[NET_MSG_MAX];
        size_t n = net_encode(&in, bytes);
        ASSERT_GT(n, static_cast<size_t>(c.offset));
        bytes[c.offset] = c.value;
        if (std::strcmp(c.name, "unterminated") == 0) std::memset(bytes + 4, 'v', NET_VERSION_MAX);
        EXPECT_FALSE(net_decode(bytes, n, &out)) << c.name;
        EXPECT_EQ(out.type, 0) << c.name;
    }
    NetMsg out;
    EXPECT_FALSE(net_decode(nullptr, 0, &out));
    const uint8_t three[3] = {'Q', 'V', 1};
    EXPECT_FALSE(net_decode(three, sizeof three, &out));
}

} // namespace

#include "net/net_session.h"

namespace {

// After a dropped link the match messages go again from the log: each must come back with
// every field it was sent with (a hash is 64 bits, a seed 32). A watcher sends none.
TEST(NetMsg, TheSentLogGivesBackEachMatchMessageAsSentAndAWatcherSendsNone) {
    net_session_reset();
    NetMsg sent[3] = {msg(NET_MSG_FRAME), msg(NET_MSG_SEED), msg(NET_MSG_HASH)};
    sent[0].seat = 1;
    for (const NetMsg &m : sent) net_session_send_match(&m);
    ASSERT_EQ(net_sent_count(), 3u);
    NetMsg got;
    for (uint32_t i = 0; i < 3; i++) {
        ASSERT_TRUE(net_sent_get(i, &got));
        EXPECT_EQ(got.type, sent[i].type);
        EXPECT_EQ(got.frame, 0x01020304u);
    }
    net_sent_get(0, &got);
    EXPECT_EQ(got.seat, 1);
    EXPECT_EQ(got.keys, STRM_KEY_RETURN | STRM_KEY_ESCAPE);
    net_sent_get(1, &got);
    EXPECT_EQ(got.seed, 0xA0B0C0D0u);
    net_sent_get(2, &got);
    EXPECT_EQ(got.hash, 0x1122334455667788ull);
    EXPECT_FALSE(net_sent_get(3, &got));
    net_session_reset();
    EXPECT_EQ(net_sent_count(), 0u);
    // Whoever watches a room's match has no say in it: nothing of its goes out.
    net_link.watching = 1;
    net_session_send_match(&sent[0]);
    EXPECT_EQ(net_sent_count(), 0u);
    net_session_reset();
}

} // namespace
