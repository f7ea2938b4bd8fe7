// The load tool: rooms made the way players make them (one loopback address per room, so the
// per-address limits hold), then relayed datagrams at a steady total rate between each room's
// two players, each stamped with its send time: what comes back says the rate carried, the
// latency the server adds on top of the loopback's, and what it lost.
#include "server/srv_load.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "net/net_rdv.h"

namespace {

uint64_t now_ns(void) {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<uint64_t>(t.tv_sec) * 1000000000ull + static_cast<uint64_t>(t.tv_nsec);
}

sockaddr_in server;

// A socket on its own loopback address (127.16.0.0 and up): the server's limits are per address.
int player_socket(uint32_t index) {
    int s = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
    if (s < 0) return -1;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(0x7F100000u + index);
    if (bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) {
        close(s);
        return -1;
    }
    int buf = 1 << 20;
    setsockopt(s, SOL_SOCKET, SO_RCVBUF, &buf, sizeof buf);
    return s;
}

// Sends m until an answer of the rendezvous protocol comes back (other datagrams skipped).
int32_t ask(int s, const NetRdvMsg &m, NetRdvMsg *answer) {
    uint8_t b[NET_RDV_MAX];
    size_t n = net_rdv_encode(&m, b);
    for (int32_t attempt = 0; attempt < 10; attempt++) {
        sendto(s, b, n, 0, reinterpret_cast<sockaddr *>(&server), sizeof server);
        pollfd p{s, POLLIN, 0};
        for (int32_t waits = 0; waits < 4 && poll(&p, 1, 50) == 1; waits++) {
            uint8_t got[2048];
            ssize_t r = recv(s, got, sizeof got, 0);
            if (r > 0 && net_rdv_decode(got, static_cast<size_t>(r), answer)) return 1;
        }
    }
    return 0;
}

// A create or join, the token echoed: the server's answer.
int32_t enter(int s, uint8_t op, uint32_t code, NetRdvMsg *status) {
    NetRdvMsg m{}, c{};
    m.type = NET_RDV_REQUEST;
    m.op = op;
    m.code = code;
    m.nonce = 77;
    if (!ask(s, m, &c) || c.type != NET_RDV_CHALLENGE) return 0;
    m.token = c.token;
    return ask(s, m, status) && status->type == NET_RDV_STATUS;
}

// Both players of room index in; their sockets.
int32_t make_room(uint32_t index, int *a, int *b) {
    *a = player_socket(2 * index);
    *b = player_socket(2 * index + 1);
    NetRdvMsg made{}, joined{};
    if (*a < 0 || *b < 0 || !enter(*a, NET_RDV_OP_CREATE, 0, &made) ||
        !enter(*b, NET_RDV_OP_JOIN, made.code, &joined)) {
        if (*a >= 0) close(*a);
        if (*b >= 0) close(*b);
        return 0;
    }
    // The creator's news of the joiner, not read by anyone: drop it.
    uint8_t got[64];
    while (recv(*a, got, sizeof got, 0) > 0) {
    }
    return 1;
}

int32_t arg_number(const char *v, long lo, long hi, long *out) {
    char *end = nullptr;
    long n = std::strtol(v, &end, 10);
    if (!*v || *end || n < lo || n > hi) return 0;
    *out = n;
    return 1;
}

} // namespace

int32_t srv_load(int argc, char **argv) {
    long rooms = 200, rate = 50000, seconds = 10, idle = 0;
    if (argc < 1) return 2;
    char host[64];
    unsigned port = NET_RDV_PORT;
    if (std::sscanf(argv[0], "%63[^:]:%u", host, &port) < 1) return 2;
    server.sin_family = AF_INET;
    server.sin_port = htons(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET, host, &server.sin_addr) != 1) {
        std::fprintf(stderr, "quorvane-server: --load needs the server's IPv4 address[:PORT]\n");
        return 2;
    }
    for (int i = 1; i + 1 < argc; i += 2) {
        long *out = !std::strcmp(argv[i], "--rooms")        ? &rooms
                    : !std::strcmp(argv[i], "--rate")       ? &rate
                    : !std::strcmp(argv[i], "--seconds")    ? &seconds
                    : !std::strcmp(argv[i], "--idle-rooms") ? &idle
                                                            : nullptr;
        if (!out || !arg_number(argv[i + 1], 0, 10000000, out)) {
            std::fprintf(stderr, "quorvane-server: bad --load option %s\n", argv[i]);
            return 2;
        }
    }
    // Idle rooms first: made, then their players' sockets closed; the rooms stay on the server.
    uint64_t t0 = now_ns();
    long idle_made = 0;
    for (long i = 0; i < idle; i++) {
        int a, b;
        if (!make_room(static_cast<uint32_t>(rooms + i), &a, &b)) break;
        close(a);
        close(b);
        idle_made++;
    }
    if (idle) std::printf("idle rooms: %ld made in %.1f s\n", idle_made, (now_ns() - t0) / 1e9);
    std::vector<int> sock;
    for (long i = 0; i < rooms; i++) {
        int a, b;
        if (!make_room(static_cast<uint32_t>(i), &a, &b)) {
            std::fprintf(stderr, "quorvane-server: the server at %s:%u made only %ld of %ld rooms\n", host, port, i,
                         rooms);
            return 1;
        }
        sock.push_back(a);
        sock.push_back(b);
    }
    if (rooms == 0 || rate == 0 || seconds == 0) return 0;
    int ep = epoll_create1(0);
    for (size_t i = 0; i < sock.size(); i++) {
        epoll_event e{};
        e.events = EPOLLIN;
        e.data.u32 = static_cast<uint32_t>(i);
        epoll_ctl(ep, EPOLL_CTL_ADD, sock[i], &e);
    }
    // Each datagram: a first byte no rendezvous message has, its send time, its number.
    std::vector<uint32_t> latency_us;
    latency_us.reserve(static_cast<size_t>(rate * seconds));
    uint64_t sent = 0, received = 0;
    uint64_t start = now_ns(), end = start + static_cast<uint64_t>(seconds) * 1000000000ull;
    size_t next = 0;
    auto drain = [&](int timeout_ms) {
        epoll_event ev[256];
        int n = epoll_wait(ep, ev, 256, timeout_ms);
        for (int i = 0; i < n; i++) {
            uint8_t got[64];
            ssize_t r;
            while ((r = recv(sock[ev[i].data.u32], got, sizeof got, 0)) > 0) {
                if (r != 40 || got[0] != 0x80) continue;
                uint64_t t;
                std::memcpy(&t, got + 8, 8);
                latency_us.push_back(static_cast<uint32_t>((now_ns() - t) / 1000));
                received++;
            }
        }
        return n;
    };
    for (;;) {
        uint64_t now = now_ns();
        if (now >= end) break;
        uint64_t due = (now - start) * static_cast<uint64_t>(rate) / 1000000000ull;
        for (int32_t burst = 0; sent < due && burst < 64; burst++, sent++) {
            // Round the rooms; each room's two players take turns, as the player in turn does.
            size_t room = next % static_cast<size_t>(rooms), from = 2 * room + (next / rooms) % 2;
            next++;
            uint8_t d[40] = {0x80};
            uint64_t t = now_ns();
            std::memcpy(d + 8, &t, 8);
            std::memcpy(d + 16, &sent, 8);
            sendto(sock[from], d, sizeof d, 0, reinterpret_cast<sockaddr *>(&server), sizeof server);
        }
        drain(0);
    }
    while (drain(300) > 0) {
    }
    double took = (now_ns() - start) / 1e9;
    std::sort(latency_us.begin(), latency_us.end());
    auto pct = [&](double q) {
        return latency_us.empty() ? 0u : latency_us[std::min(latency_us.size() - 1, size_t(q * latency_us.size()))];
    };
    std::printf("rooms %ld, asked %ld datagrams/s for %ld s: sent %llu, relayed back %llu (%.0f/s), lost %llu\n", rooms,
                rate, seconds, static_cast<unsigned long long>(sent), static_cast<unsigned long long>(received),
                received / took, static_cast<unsigned long long>(sent - std::min(sent, received)));
    std::printf("latency through the server, us: p50 %u, p99 %u, max %u\n", pct(0.5), pct(0.99),
                latency_us.empty() ? 0u : latency_us.back());
    for (int s : sock) close(s);
    close(ep);
    return 0;
}
