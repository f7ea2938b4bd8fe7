// The server's rooms as a function of datagrams: what each source gets back, and what it never gets.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "net/net_rdv.h"
#include "server/srv.h"

namespace {

struct Sent {
    SrvAddr to;
    std::vector<uint8_t> bytes;
};
std::vector<Sent> sent;
std::vector<std::string> logged;

void capture(const SrvAddr *to, const uint8_t *data, size_t size) { sent.push_back({*to, {data, data + size}}); }
void keep_log(const char *line) { logged.push_back(line); }

SrvAddr addr(uint8_t last, uint16_t port) {
    uint8_t b[4] = {203, 0, 113, last};
    SrvAddr a{};
    std::memcpy(&a.ip, b, 4);
    a.port = port;
    return a;
}

struct Rooms : ::testing::Test {
    uint64_t now = 1000000;
    void SetUp() override {
        SrvConfig c;
        srv_default_config(&c);
        for (int i = 0; i < 16; i++) c.key[i] = static_cast<uint8_t>(i * 7 + 1);
        srv_init(&c, capture, keep_log);
        sent.clear();
        logged.clear();
    }
    void TearDown() override { srv_shutdown(); }

    void feed(const SrvAddr &from, const NetRdvMsg &m) {
        uint8_t b[NET_RDV_MAX];
        size_t n = net_rdv_encode(&m, b);
        ASSERT_GT(n, 0u);
        srv_datagram(&from, b, n, now);
    }
    void feed_raw(const SrvAddr &from, std::vector<uint8_t> bytes) {
        srv_datagram(&from, bytes.data(), bytes.size(), now);
    }
    // The last message sent to a, decoded; type 0 when none was or it was not ours.
    NetRdvMsg last_to(const SrvAddr &a) {
        NetRdvMsg m{};
        for (auto it = sent.rbegin(); it != sent.rend(); ++it)
            if (it->to.ip == a.ip && it->to.port == a.port) {
                net_rdv_decode(it->bytes.data(), it->bytes.size(), &m);
                break;
            }
        return m;
    }
    NetRdvMsg request(uint8_t op, uint32_t code, uint64_t nonce, uint64_t token, uint64_t session = 0) {
        NetRdvMsg m{};
        m.type = NET_RDV_REQUEST;
        m.op = op;
        m.code = code;
        m.nonce = nonce;
        m.token = token;
        m.session = session;
        return m;
    }
    // A request answered: the challenge first, then the token echoed. The answer.
    NetRdvMsg ask(const SrvAddr &from, uint8_t op, uint32_t code, uint64_t nonce, uint64_t session = 0) {
        return proven(from, request(op, code, nonce, 0, session));
    }
    NetRdvMsg proven(const SrvAddr &from, NetRdvMsg m) {
        feed(from, m);
        NetRdvMsg c = last_to(from);
        EXPECT_EQ(c.type, NET_RDV_CHALLENGE);
        EXPECT_EQ(c.nonce, m.nonce);
        m.token = c.token;
        feed(from, m);
        return last_to(from);
    }
    // The room maker's feed for the watcher at w, from the socket f.
    NetRdvMsg ask_feed(const SrvAddr &f, const NetRdvMsg &made, const SrvAddr &w, uint64_t nonce) {
        NetRdvMsg m{};
        m.type = NET_RDV_FEED;
        m.code = made.code;
        m.session = made.session;
        m.nonce = nonce;
        m.peer_ip = w.ip;
        m.peer_port = w.port;
        return proven(f, m);
    }
};

TEST_F(Rooms, CreateAndJoinTellEachTheOthersAddress) {
    SrvAddr a = addr(1, 5000), b = addr(2, 6000);
    NetRdvMsg made = ask(a, NET_RDV_OP_CREATE, 0, 11);
    ASSERT_EQ(made.type, NET_RDV_STATUS);
    EXPECT_EQ(made.seat, 0);
    EXPECT_EQ(made.paired, 0);
    EXPECT_NE(made.session, 0u);
    NetRdvMsg joined = ask(b, NET_RDV_OP_JOIN, made.code, 22);
    ASSERT_EQ(joined.type, NET_RDV_STATUS);
    EXPECT_EQ(joined.seat, 1);
    EXPECT_EQ(joined.paired, 1);
    EXPECT_EQ(joined.peer_ip, a.ip);
    EXPECT_EQ(joined.peer_port, 5000);
    NetRdvMsg told = last_to(a);
    EXPECT_EQ(told.type, NET_RDV_STATUS);
    EXPECT_EQ(told.paired, 1);
    EXPECT_EQ(told.peer_ip, b.ip);
    EXPECT_EQ(told.peer_port, 6000);
    EXPECT_EQ(srv_counters().rooms_open, 1u);
    char code[8];
    net_rdv_code_text(made.code, code);
    ASSERT_GE(logged.size(), 2u);
    EXPECT_EQ(logged[0], std::string("room ") + code + " created by 203.0.113.1:5000");
    EXPECT_EQ(logged[1], std::string("room ") + code + " joined by 203.0.113.2:6000");
    // Two more come to watch: each hears the creator's address and the creator each one's; a
    // fifth finds the room full. A watcher's datagrams are relayed to nobody.
    for (uint8_t w = 3; w <= 4; w++) {
        NetRdvMsg watching = ask(addr(w, 7000), NET_RDV_OP_JOIN, made.code, 30 + w);
        EXPECT_EQ(watching.seat, NET_RDV_SEAT_WATCHER);
        EXPECT_EQ(watching.peer_ip, a.ip);
        EXPECT_EQ(watching.peer_port, 5000);
        NetRdvMsg heard = last_to(a);
        EXPECT_EQ(heard.type, NET_RDV_WATCHER);
        EXPECT_EQ(heard.session, made.session);
        EXPECT_EQ(heard.peer_ip, addr(w, 7000).ip);
        EXPECT_EQ(heard.peer_port, 7000);
    }
    EXPECT_EQ(srv_counters().spectators, 2u);
    EXPECT_EQ(ask(addr(5, 7000), NET_RDV_OP_JOIN, made.code, 35).reason, NET_RDV_ERR_FULL);
    size_t before = sent.size();
    feed_raw(addr(3, 7000), std::vector<uint8_t>(40, 0x51));
    EXPECT_EQ(sent.size(), before);
    EXPECT_EQ(ask(addr(3, 7001), NET_RDV_OP_JOIN, made.code ^ 1, 34).reason, NET_RDV_ERR_NO_ROOM);
}

// No amplification: a source that never echoed a token gets no more bytes than it sent,
// whatever it sends; and it gets no room.
TEST_F(Rooms, AnUnprovenSourceGetsNoMoreBytesThanItSentAndNoRoom) {
    SrvAddr victim = addr(9, 9999);
    size_t in = 0;
    std::vector<NetRdvMsg> cases = {request(NET_RDV_OP_CREATE, 0, 1, 0), request(NET_RDV_OP_JOIN, 123, 2, 0),
                                    request(NET_RDV_OP_CREATE, 0, 3, 0xdeadbeef)};
    NetRdvMsg k{};
    k.type = NET_RDV_KEEPALIVE;
    k.session = 5;
    k.seq = 1;
    cases.push_back(k);
    for (const NetRdvMsg &m : cases) {
        uint8_t b[NET_RDV_MAX];
        in += net_rdv_encode(&m, b);
        feed(victim, m);
    }
    for (size_t len : {1u, 3u, 60u, 1400u}) {
        feed_raw(victim, std::vector<uint8_t>(len, 0x51));
        in += len;
    }
    size_t out = 0;
    for (const Sent &s : sent) out += s.bytes.size();
    EXPECT_LE(out, in);
    EXPECT_EQ(srv_counters().rooms_open, 0u);
    EXPECT_EQ(srv_counters().rooms_created, 0u);
}

TEST_F(Rooms, ATokenServesOnlyTheAddressItWasGivenTo) {
    SrvAddr a = addr(1, 5000), spoofed = addr(1, 5001);
    feed(a, request(NET_RDV_OP_CREATE, 0, 7, 0));
    uint64_t token = last_to(a).token;
    feed(spoofed, request(NET_RDV_OP_CREATE, 0, 7, token));
    EXPECT_EQ(last_to(spoofed).type, NET_RDV_CHALLENGE);
    EXPECT_EQ(srv_counters().rooms_open, 0u);
    EXPECT_EQ(srv_counters().dropped[SRV_DROP_TOKEN], 1u);
    // Tokens age out: two minutes later the same echo is a stranger's.
    now += 120000;
    feed(a, request(NET_RDV_OP_CREATE, 0, 7, token));
    EXPECT_EQ(srv_counters().rooms_open, 0u);
    EXPECT_EQ(srv_counters().dropped[SRV_DROP_TOKEN], 2u);
}

TEST_F(Rooms, TenAttemptsAMinutePerAddress) {
    for (int i = 0; i < 10; i++)
        EXPECT_EQ(ask(addr(4, 100 + i), NET_RDV_OP_JOIN, 77, 100 + i).reason, NET_RDV_ERR_NO_ROOM);
    NetRdvMsg eleventh = ask(addr(4, 200), NET_RDV_OP_CREATE, 0, 300);
    EXPECT_EQ(eleventh.type, NET_RDV_ERROR);
    EXPECT_EQ(eleventh.reason, NET_RDV_ERR_TOO_MANY);
    EXPECT_EQ(srv_counters().rooms_open, 0u);
    // Another address is not held back; this one is again after the minute.
    EXPECT_EQ(ask(addr(5, 200), NET_RDV_OP_CREATE, 0, 301).type, NET_RDV_STATUS);
    now += 60000;
    EXPECT_EQ(ask(addr(4, 200), NET_RDV_OP_CREATE, 0, 302).type, NET_RDV_STATUS);
}

TEST_F(Rooms, RoomsPerAddressAndInAllAreCapped) {
    SrvConfig c;
    srv_default_config(&c);
    c.max_rooms = 3;
    c.max_rooms_per_addr = 2;
    srv_init(&c, capture, keep_log);
    EXPECT_EQ(ask(addr(1, 1), NET_RDV_OP_CREATE, 0, 1).type, NET_RDV_STATUS);
    EXPECT_EQ(ask(addr(1, 2), NET_RDV_OP_CREATE, 0, 2).type, NET_RDV_STATUS);
    EXPECT_EQ(ask(addr(1, 3), NET_RDV_OP_CREATE, 0, 3).reason, NET_RDV_ERR_ADDRESS);
    EXPECT_EQ(ask(addr(2, 1), NET_RDV_OP_CREATE, 0, 4).type, NET_RDV_STATUS);
    EXPECT_EQ(ask(addr(3, 1), NET_RDV_OP_CREATE, 0, 5).reason, NET_RDV_ERR_BUSY);
    EXPECT_EQ(srv_counters().rooms_open, 3u);
}

TEST_F(Rooms, RelayOnlyBetweenTheRoomsTwoPlayers) {
    SrvAddr a = addr(1, 5000), b = addr(2, 6000), c = addr(3, 7000);
    NetRdvMsg made = ask(a, NET_RDV_OP_CREATE, 0, 1);
    std::vector<uint8_t> enet_like = {0x80, 0x00, 0x12, 0x34, 1, 2, 3};
    // Alone in its room: nobody to relay to.
    sent.clear();
    feed_raw(a, enet_like);
    EXPECT_TRUE(sent.empty());
    ask(b, NET_RDV_OP_JOIN, made.code, 2);
    sent.clear();
    feed_raw(a, enet_like);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].to.ip, b.ip);
    EXPECT_EQ(sent[0].to.port, b.port);
    EXPECT_EQ(sent[0].bytes, enet_like);
    feed_raw(b, enet_like);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1].to.port, a.port);
    // A stranger, and a player's address with another port, are relayed nowhere.
    feed_raw(c, enet_like);
    feed_raw(addr(1, 5001), enet_like);
    EXPECT_EQ(sent.size(), 2u);
    EXPECT_EQ(srv_counters().dropped[SRV_DROP_STRANGER], 3u);
    EXPECT_EQ(srv_counters().relayed, 1u);
    EXPECT_EQ(srv_counters().relayed_datagrams, 2u);
}

// A watcher no hole reaches gets the match from the maker's feed: the two are relayed to each
// other and to nobody else; no one else becomes a feed.
TEST_F(Rooms, AFeedIsRelayedOnlyToItsWatcherAndAWatcherOnlyToItsFeed) {
    SrvAddr a = addr(1, 5000), b = addr(2, 6000), w = addr(3, 7000), w2 = addr(4, 7000), f = addr(1, 5100);
    NetRdvMsg made = ask(a, NET_RDV_OP_CREATE, 0, 1);
    NetRdvMsg joined = ask(b, NET_RDV_OP_JOIN, made.code, 2);
    NetRdvMsg watching = ask(w, NET_RDV_OP_JOIN, made.code, 3);
    NetRdvMsg watching2 = ask(w2, NET_RDV_OP_JOIN, made.code, 4);
    std::vector<uint8_t> enet_like = {0x80, 0x00, 0x12, 0x34, 1, 2, 3};
    // Not feeds: another session, a watcher not in the room, a player's own socket, no room.
    NetRdvMsg joiners = made, nowhere = made;
    joiners.session = joined.session;
    nowhere.code = made.code ^ 1;
    struct Bad {
        SrvAddr from;
        NetRdvMsg room;
        SrvAddr watcher;
    } bad[] = {{addr(2, 6100), joiners, w}, {f, made, addr(9, 7000)}, {b, made, w}, {f, nowhere, w}};
    for (const Bad &c : bad) EXPECT_EQ(ask_feed(c.from, c.room, c.watcher, 8).type, NET_RDV_CHALLENGE);
    EXPECT_EQ(srv_counters().dropped[SRV_DROP_STRANGER], 4u);
    NetRdvMsg fed = ask_feed(f, made, w, 9);
    ASSERT_EQ(fed.type, NET_RDV_STATUS);
    EXPECT_EQ(fed.session, made.session);
    EXPECT_EQ(fed.peer_ip, w.ip);
    EXPECT_EQ(fed.peer_port, 7000);
    // A watcher's first keep-alives name it to the maker again while it has no feed.
    NetRdvMsg k{};
    k.type = NET_RDV_KEEPALIVE;
    k.code = made.code;
    k.seq = 1;
    struct Alive {
        SrvAddr from;
        uint64_t session;
        uint8_t told; // the message type the maker gets, 0 for none
    } alive[] = {{w, watching.session, 0}, {w2, watching2.session, NET_RDV_WATCHER}};
    for (const Alive &c : alive) {
        sent.clear();
        k.session = c.session;
        feed(c.from, k);
        EXPECT_EQ(last_to(a).type, c.told) << "watcher port " << c.from.port;
        if (c.told) {
            EXPECT_EQ(last_to(a).peer_ip, c.from.ip);
        }
    }
    // Who sends, and who gets it (port 0: nobody).
    struct Hop {
        SrvAddr from;
        uint16_t to_port;
        uint8_t to_last;
    } hops[] = {{w, 5100, 1}, {f, 7000, 3}, {w2, 0, 0}, {a, 6000, 2}, {b, 5000, 1}, {addr(9, 7000), 0, 0}};
    for (const Hop &h : hops) {
        sent.clear();
        feed_raw(h.from, enet_like);
        if (!h.to_port) {
            EXPECT_TRUE(sent.empty()) << "from port " << h.from.port;
            continue;
        }
        ASSERT_EQ(sent.size(), 1u) << "from port " << h.from.port;
        EXPECT_EQ(sent[0].to.ip, addr(h.to_last, 0).ip);
        EXPECT_EQ(sent[0].to.port, h.to_port);
        EXPECT_EQ(sent[0].bytes, enet_like);
    }
    EXPECT_EQ(srv_counters().relayed_spectators, 1u);
    // The watcher leaves: its feed goes with it, and serves no one who takes the seat after.
    NetRdvMsg leave{};
    leave.type = NET_RDV_LEAVE;
    leave.session = watching.session;
    leave.code = made.code;
    feed(w, leave);
    ask(addr(5, 7000), NET_RDV_OP_JOIN, made.code, 5);
    sent.clear();
    feed_raw(f, enet_like);
    EXPECT_TRUE(sent.empty());
}

TEST_F(Rooms, BadDatagramsAreDroppedAndCountedByReason) {
    SrvAddr a = addr(1, 5000), b = addr(2, 6000);
    NetRdvMsg made = ask(a, NET_RDV_OP_CREATE, 0, 1);
    ask(b, NET_RDV_OP_JOIN, made.code, 2);
    sent.clear();
    uint8_t full[NET_RDV_MAX];
    NetRdvMsg k{};
    k.type = NET_RDV_KEEPALIVE;
    k.session = made.session;
    k.seq = 5;
    k.code = made.code;
    size_t n = net_rdv_encode(&k, full);
    struct Case {
        std::vector<uint8_t> bytes;
        int32_t reason;
    };
    std::vector<Case> cases = {
        {{'Q'}, SRV_DROP_SHORT},
        {std::vector<uint8_t>(full, full + n - 1), SRV_DROP_SHORT},
        {{'Q', 'R', 9, 4}, SRV_DROP_GARBAGE},
        {{'Q', 'R', 1, 99, 0, 0, 0, 0}, SRV_DROP_GARBAGE},
        {std::vector<uint8_t>(2000, 7), SRV_DROP_OVERSIZED},
    };
    std::vector<uint8_t> padded(full, full + n);
    padded[n - 1] = 1; // padding must be zero
    cases.push_back({padded, SRV_DROP_GARBAGE});
    for (const Case &c : cases) {
        uint64_t before = srv_counters().dropped[c.reason];
        feed_raw(a, c.bytes);
        EXPECT_EQ(srv_counters().dropped[c.reason], before + 1) << srv_drop_name(c.reason);
    }
    EXPECT_TRUE(sent.empty()) << "a bad datagram was answered or relayed";
    // A keep-alive counts once; the same one again is a replay; another player's session a stranger's.
    feed(a, k);
    EXPECT_EQ(last_to(a).type, NET_RDV_STATUS);
    sent.clear();
    feed(a, k);
    EXPECT_EQ(srv_counters().dropped[SRV_DROP_REPLAY], 1u);
    k.seq = 6;
    feed(b, k);
    EXPECT_EQ(srv_counters().dropped[SRV_DROP_STRANGER], 1u);
    EXPECT_TRUE(sent.empty());
}

TEST_F(Rooms, AnIdleRoomExpiresAfterTenMinutesAndALiveOneStays) {
    SrvAddr a = addr(1, 5000), c = addr(3, 5000);
    NetRdvMsg idle = ask(a, NET_RDV_OP_CREATE, 0, 1);
    NetRdvMsg live = ask(c, NET_RDV_OP_CREATE, 0, 2);
    NetRdvMsg k{};
    k.type = NET_RDV_KEEPALIVE;
    k.session = live.session;
    for (int i = 1; i <= 12; i++) {
        now += 59000;
        k.seq = static_cast<uint32_t>(i);
        feed(c, k);
        srv_tick(now);
    }
    EXPECT_EQ(srv_counters().rooms_open, 1u);
    EXPECT_EQ(srv_counters().rooms_expired, 1u);
    EXPECT_EQ(ask(addr(2, 1), NET_RDV_OP_JOIN, idle.code, 3).reason, NET_RDV_ERR_NO_ROOM);
    EXPECT_EQ(ask(addr(2, 2), NET_RDV_OP_JOIN, live.code, 4).type, NET_RDV_STATUS);
}

TEST_F(Rooms, ALostAnswerIsAnsweredAgainAndARejoinKeepsTheSeat) {
    SrvAddr a = addr(1, 5000), b = addr(2, 6000);
    NetRdvMsg made = ask(a, NET_RDV_OP_CREATE, 0, 1);
    NetRdvMsg again = ask(a, NET_RDV_OP_CREATE, 0, 1);
    EXPECT_EQ(again.code, made.code);
    EXPECT_EQ(srv_counters().rooms_created, 1u);
    NetRdvMsg joined = ask(b, NET_RDV_OP_JOIN, made.code, 2);
    // The joiner comes back from another port (its NAT gave it a new mapping).
    SrvAddr b2 = addr(2, 6001);
    NetRdvMsg back = ask(b2, NET_RDV_OP_JOIN, made.code, 3, joined.session);
    EXPECT_EQ(back.seat, 1);
    EXPECT_EQ(back.session, joined.session);
    EXPECT_EQ(last_to(a).peer_port, 6001);
    EXPECT_EQ(srv_counters().rejoins, 1u);
    // A made-up session takes no seat.
    EXPECT_EQ(ask(addr(7, 1), NET_RDV_OP_JOIN, made.code, 4, 12345).reason, NET_RDV_ERR_FULL);
    // A new game with the code while the joiner is heard from watches; once it has been silent
    // 15 s, one takes its seat (a rejoin), and its old session no longer does.
    now += 14000;
    EXPECT_EQ(ask(addr(8, 1), NET_RDV_OP_JOIN, made.code, 5).seat, NET_RDV_SEAT_WATCHER);
    now += 1000;
    NetRdvMsg seated = ask(addr(8, 2), NET_RDV_OP_JOIN, made.code, 6);
    EXPECT_EQ(seated.seat, 1);
    EXPECT_NE(seated.session, joined.session);
    EXPECT_EQ(last_to(a).peer_port, 2);
    EXPECT_EQ(srv_counters().rejoins, 2u);
    EXPECT_EQ(ask(b2, NET_RDV_OP_JOIN, made.code, 7, joined.session).reason, NET_RDV_ERR_FULL);
}

// The maker's game killed while the joiner's lives on: once the maker has been silent 15 s a new
// game with the code takes seat 0, the joiner hears its address and relays to it; the old
// session no longer seats anyone. With both silent the joiner's seat goes first.
TEST_F(Rooms, ASilentMakersSeatGoesToANewGameWhileTheJoinerIsHeard) {
    SrvAddr a = addr(1, 5000), b = addr(2, 6000), n = addr(9, 4000);
    NetRdvMsg made = ask(a, NET_RDV_OP_CREATE, 0, 1);
    NetRdvMsg joined = ask(b, NET_RDV_OP_JOIN, made.code, 2);
    NetRdvMsg alive{};
    alive.type = NET_RDV_KEEPALIVE;
    alive.code = made.code;
    alive.session = joined.session;
    for (uint32_t seq = 1; seq <= 3; seq++) {
        now += seq < 3 ? 5000 : 4000;
        alive.seq = seq;
        feed(b, alive);
    }
    // The maker silent 14 s: the newcomer watches; at 15 s it takes the seat.
    EXPECT_EQ(ask(addr(8, 1), NET_RDV_OP_JOIN, made.code, 3).seat, NET_RDV_SEAT_WATCHER);
    now += 1000;
    NetRdvMsg seated = ask(n, NET_RDV_OP_JOIN, made.code, 5);
    ASSERT_EQ(seated.type, NET_RDV_STATUS);
    EXPECT_EQ(seated.seat, 0);
    EXPECT_EQ(seated.paired, 1);
    EXPECT_NE(seated.session, made.session);
    EXPECT_EQ(seated.peer_ip, b.ip);
    EXPECT_EQ(seated.peer_port, 6000);
    NetRdvMsg told = last_to(b);
    EXPECT_EQ(told.type, NET_RDV_STATUS);
    EXPECT_EQ(told.peer_ip, n.ip);
    EXPECT_EQ(told.peer_port, 4000);
    EXPECT_EQ(srv_counters().rejoins, 1u);
    char code[8];
    net_rdv_code_text(made.code, code);
    EXPECT_EQ(logged.back(), std::string("room ") + code + " creator replaced by a new game from 203.0.113.9:4000");
    feed_raw(b, std::vector<uint8_t>(40, 0x51));
    EXPECT_EQ(sent.back().to.ip, n.ip);
    EXPECT_EQ(sent.back().to.port, 4000);
    EXPECT_EQ(ask(a, NET_RDV_OP_JOIN, made.code, 4, made.session).reason, NET_RDV_ERR_FULL);

    // Both silent: the joiner's seat is the one taken.
    now += 15000;
    EXPECT_EQ(ask(addr(8, 2), NET_RDV_OP_JOIN, made.code, 6).seat, 1);
}

TEST_F(Rooms, ShutdownTellsEveryPlayer) {
    SrvAddr a = addr(1, 5000), b = addr(2, 6000);
    NetRdvMsg made = ask(a, NET_RDV_OP_CREATE, 0, 1);
    ask(b, NET_RDV_OP_JOIN, made.code, 2);
    srv_shutdown();
    EXPECT_EQ(last_to(a).reason, NET_RDV_ERR_STOPPING);
    EXPECT_EQ(last_to(b).reason, NET_RDV_ERR_STOPPING);
}

TEST(RoomCodes, TypedByHandCaseAndLookAlikesForgiven) {
    uint32_t code = 0;
    struct Case {
        const char *text;
        int32_t ok;
        uint32_t value;
    };
    const Case cases[] = {
        {"000001", 1, 1},
        {"00000Z", 1, 31},
        {"ZZZZZZ", 1, (1u << 30) - 1},
        {"zzzzzz", 1, (1u << 30) - 1},
        {"OOO-OOI", 1, 1},
        {"ooo ool", 1, 1},
        {"00000U", 0, 0},
        {"00000", 0, 0},
        {"0000000", 0, 0},
        {"", 0, 0},
        {"00000!", 0, 0},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(net_rdv_code_parse(c.text, &code), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(code, c.value) << c.text;
        }
    }
    char text[8];
    net_rdv_code_text((1u << 30) - 1, text);
    EXPECT_STREQ(text, "ZZZZZZ");
    net_rdv_code_text(1, text);
    EXPECT_STREQ(text, "000001");
}

TEST_F(Rooms, CodesHaveNoLookAlikesAndDiffer) {
    std::vector<uint32_t> seen;
    for (int i = 0; i < 8; i++) {
        NetRdvMsg m = ask(addr(static_cast<uint8_t>(10 + i), 1), NET_RDV_OP_CREATE, 0, 1);
        char text[8];
        net_rdv_code_text(m.code, text);
        EXPECT_EQ(std::strlen(text), 6u);
        EXPECT_EQ(std::strpbrk(text, "ILOU"), nullptr) << text;
        for (uint32_t s : seen) EXPECT_NE(s, m.code);
        seen.push_back(m.code);
    }
}

} // namespace

// A maker that leaves once its room was paired has ended the match: a newcomer with the code
// hears that, even after the joiner left too, where an unpaired room simply closes.
TEST_F(Rooms, AMatchWhoseMakerLeftIsToldToNewcomers) {
    SrvAddr a = addr(1, 5000), b = addr(2, 6000);
    NetRdvMsg made = ask(a, NET_RDV_OP_CREATE, 0, 1);
    NetRdvMsg joined = ask(b, NET_RDV_OP_JOIN, made.code, 2);
    NetRdvMsg leave{};
    leave.type = NET_RDV_LEAVE;
    leave.code = made.code;
    leave.session = made.session;
    feed(a, leave);
    EXPECT_EQ(ask(addr(3, 7000), NET_RDV_OP_JOIN, made.code, 3).reason, NET_RDV_ERR_ENDED);
    leave.session = joined.session;
    feed(b, leave);
    EXPECT_EQ(ask(addr(3, 7001), NET_RDV_OP_JOIN, made.code, 4).reason, NET_RDV_ERR_ENDED);
    EXPECT_EQ(ask(b, NET_RDV_OP_JOIN, made.code, 5, joined.session).reason, NET_RDV_ERR_ENDED);

    NetRdvMsg alone = ask(addr(4, 5000), NET_RDV_OP_CREATE, 0, 6);
    leave.code = alone.code;
    leave.session = alone.session;
    feed(addr(4, 5000), leave);
    EXPECT_EQ(ask(addr(3, 7002), NET_RDV_OP_JOIN, alone.code, 7).reason, NET_RDV_ERR_NO_ROOM);
}

// A browser (WebSocket) and a desktop player (UDP) cannot punch a hole to each other: each is
// told the other is there at a zero address, which sends the match through the server at once.
TEST_F(Rooms, PlayersOfDifferentTransportsAreToldNoAddress) {
    struct Row {
        uint8_t maker, joiner;
        int32_t through_server;
    } rows[] = {{SRV_TRANSPORT_UDP, SRV_TRANSPORT_WS, 1},
                {SRV_TRANSPORT_WS, SRV_TRANSPORT_UDP, 1},
                {SRV_TRANSPORT_UDP, SRV_TRANSPORT_UDP, 0},
                {SRV_TRANSPORT_WS, SRV_TRANSPORT_WS, 0}};
    for (uint8_t i = 0; i < 4; i++) {
        SCOPED_TRACE(i);
        SrvAddr a = addr(10 + 2 * i, 5000), b = addr(11 + 2 * i, 6000);
        a.transport = rows[i].maker;
        b.transport = rows[i].joiner;
        NetRdvMsg made = ask(a, NET_RDV_OP_CREATE, 0, 40 + i);
        NetRdvMsg joined = ask(b, NET_RDV_OP_JOIN, made.code, 50 + i);
        NetRdvMsg told = last_to(a);
        ASSERT_EQ(joined.paired, 1);
        ASSERT_EQ(told.paired, 1);
        EXPECT_EQ(joined.peer_ip, rows[i].through_server ? 0u : a.ip);
        EXPECT_EQ(joined.peer_port, rows[i].through_server ? 0 : 5000);
        EXPECT_EQ(told.peer_ip, rows[i].through_server ? 0u : b.ip);
        EXPECT_EQ(told.peer_port, rows[i].through_server ? 0 : 6000);
        // The transport asks who a player's partner is, to carry the match between the two.
        SrvAddr other{};
        int32_t seat = -1;
        ASSERT_TRUE(srv_partner(&b, &other, &seat));
        EXPECT_EQ(seat, 1);
        EXPECT_EQ(other.ip, a.ip);
        EXPECT_EQ(other.port, 5000);
        EXPECT_EQ(other.transport, rows[i].maker);
    }
}

// A browser's connection that closes is a player gone: its room closes when nobody is left, and
// its partner has none any more.
TEST_F(Rooms, AClosedConnectionLeavesItsRoom) {
    SrvAddr ws = addr(30, 1), udp = addr(31, 2), late = addr(32, 3);
    ws.transport = SRV_TRANSPORT_WS;
    NetRdvMsg alone = ask(ws, NET_RDV_OP_CREATE, 0, 60);
    srv_gone(&ws);
    EXPECT_EQ(srv_counters().rooms_open, 0u);
    EXPECT_EQ(ask(late, NET_RDV_OP_JOIN, alone.code, 61).reason, NET_RDV_ERR_NO_ROOM);
    NetRdvMsg made = ask(udp, NET_RDV_OP_CREATE, 0, 62);
    ask(ws, NET_RDV_OP_JOIN, made.code, 63);
    SrvAddr other;
    int32_t seat;
    ASSERT_TRUE(srv_partner(&udp, &other, &seat));
    srv_gone(&ws);
    EXPECT_FALSE(srv_partner(&udp, &other, &seat));
    EXPECT_EQ(srv_counters().rooms_open, 1u);
}

// Only a desktop maker's game feeds watchers, and only a desktop game takes a feed: a browser on
// either side is told so at once instead of waiting for a stream that never comes.
TEST_F(Rooms, OnlyADesktopGameWatchesADesktopMakersMatch) {
    struct Row {
        uint8_t maker, watcher;
        uint8_t type, reason;
    } rows[] = {{SRV_TRANSPORT_UDP, SRV_TRANSPORT_UDP, NET_RDV_STATUS, 0},
                {SRV_TRANSPORT_UDP, SRV_TRANSPORT_WS, NET_RDV_ERROR, NET_RDV_ERR_WATCH_PAGE},
                {SRV_TRANSPORT_WS, SRV_TRANSPORT_UDP, NET_RDV_ERROR, NET_RDV_ERR_WATCH_PAGE_ROOM},
                {SRV_TRANSPORT_WS, SRV_TRANSPORT_WS, NET_RDV_ERROR, NET_RDV_ERR_WATCH_PAGE}};
    uint8_t i = 0;
    for (const Row &row : rows) {
        SrvAddr maker = addr(40 + i, 1), joiner = addr(50 + i, 2), watcher = addr(60 + i, 3);
        maker.transport = row.maker;
        watcher.transport = row.watcher;
        NetRdvMsg made = ask(maker, NET_RDV_OP_CREATE, 0, 100 + i);
        ask(joiner, NET_RDV_OP_JOIN, made.code, 110 + i);
        NetRdvMsg got = ask(watcher, NET_RDV_OP_JOIN, made.code, 120 + i);
        EXPECT_EQ(got.type, row.type) << int(i);
        if (row.type == NET_RDV_STATUS) {
            EXPECT_EQ(got.seat, NET_RDV_SEAT_WATCHER);
        } else {
            EXPECT_EQ(got.reason, row.reason) << int(i);
        }
        i++;
    }
}

// A browser maker's page closed mid-match says no goodbye: its seat goes to a new page with the
// code, the match not ended, as a killed desktop maker's would.
TEST_F(Rooms, AClosedPageLeavesItsSeatToANewPage) {
    SrvAddr maker = addr(33, 4), joiner = addr(34, 5), back = addr(35, 6);
    maker.transport = back.transport = SRV_TRANSPORT_WS;
    NetRdvMsg made = ask(maker, NET_RDV_OP_CREATE, 0, 70);
    ask(joiner, NET_RDV_OP_JOIN, made.code, 71);
    srv_gone(&maker);
    NetRdvMsg again = ask(back, NET_RDV_OP_JOIN, made.code, 72);
    EXPECT_EQ(again.type, NET_RDV_STATUS);
    EXPECT_EQ(again.seat, 0);
    EXPECT_EQ(srv_counters().rejoins, 1u);
    SrvAddr other;
    int32_t seat;
    ASSERT_TRUE(srv_partner(&joiner, &other, &seat));
    EXPECT_EQ(other.port, back.port);
}
