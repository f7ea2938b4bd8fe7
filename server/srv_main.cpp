// quorvane-server: the room server on one UDP port, and a TCP port for browsers (srv_ws.cpp).
// This file is the UDP side: the rooms themselves live in srv_room.cpp and never see a socket.
// The UDP socket belongs to an ENet host, which sees only the datagrams of desktop players
// bridged to a browser; every other datagram goes to the rooms first (the intercept below).
#include <arpa/inet.h>
#include <errno.h>
#include <linux/filter.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <enet/enet.h>

#include "net/net_rdv.h"
#include "server/srv.h"
#include "server/srv_load.h"
#include "server/srv_ws.h"

#ifndef QUORVANE_VERSION
#define QUORVANE_VERSION "0.0.0"
#endif

namespace {

constexpr int32_t POLL_MS = 200;       // the longest a signal waits to be seen
constexpr int32_t BRIDGE_POLL_MS = 20; // with bridged links open: ENet's resends and pings are due
constexpr size_t BRIDGES_MAX = 256;    // ENet links with desktop players whose partner is a browser
constexpr uint64_t STATS_MS = 60000;

volatile sig_atomic_t stop_signal, stats_wanted;
int sock = -1;
uint64_t loop_now;

void on_signal(int sig) {
    if (sig == SIGUSR1)
        stats_wanted = 1;
    else
        stop_signal = sig;
}

uint64_t now_ms(void) {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<uint64_t>(t.tv_sec) * 1000 + static_cast<uint64_t>(t.tv_nsec) / 1000000;
}

void udp_send(const SrvAddr *to, const uint8_t *data, size_t size) {
    if (srv_ws_send(to, data, size)) return;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = to->ip;
    a.sin_port = htons(to->port);
    // A full send buffer loses this datagram as the network would; the players resend.
    sendto(sock, data, size, MSG_DONTWAIT, reinterpret_cast<sockaddr *>(&a), sizeof a);
}

// Every datagram on the socket: the rooms', unless it is ENet of a bridged link.
int ENET_CALLBACK intercept(ENetHost *host, ENetEvent *) {
    SrvAddr a{host->receivedAddress.host, host->receivedAddress.port, SRV_TRANSPORT_UDP};
    if (srv_ws_for_enet(&a, host->receivedData, host->receivedDataLength)) return 0;
    srv_datagram(&a, host->receivedData, host->receivedDataLength, loop_now);
    return 1;
}

void log_line(const char *line) {
    std::printf("%s\n", line);
    std::fflush(stdout);
}

void print_stats(void) {
    char line[512];
    srv_stats_line(line, sizeof line);
    log_line(line);
}

void usage(FILE *f) {
    std::fprintf(f,
                 "Usage: quorvane-server [OPTION]...\n"
                 "Meets Quorvane players by room code, helps their games punch through their NATs,\n"
                 "and relays a match between them when that fails. One UDP port, and one TCP port\n"
                 "for players in a browser (WebSocket); no files.\n\n"
                 "  --port N         UDP port to serve on (default %u)\n"
                 "  --ws-port N      TCP port for WebSocket players (default: the UDP port's\n"
                 "                   number; 0: none)\n"
                 "  --bind ADDRESS   IPv4 address to serve on (default: all)\n"
                 "  --max-rooms N    open rooms at most (default 10000)\n"
                 "  --verbose        log every dropped datagram and refusal too\n"
                 "  --help           show this help and exit\n"
                 "  --version        show the version and exit\n\n"
                 "One line per room event goes to standard output; SIGUSR1 prints the counters,\n"
                 "which also come once a minute. SIGTERM or SIGINT stops the server.\n",
                 NET_RDV_PORT);
}

int32_t parse_number(const char *text, long lo, long hi, long *out) {
    char *end = nullptr;
    errno = 0;
    long v = std::strtol(text, &end, 10);
    if (errno || !end || *end || end == text || v < lo || v > hi) return 0;
    *out = v;
    return 1;
}

int32_t bad_usage(const char *fmt, const char *arg) {
    std::fprintf(stderr, "quorvane-server: ");
    std::fprintf(stderr, fmt, arg);
    std::fprintf(stderr, "\nTry 'quorvane-server --help'.\n");
    return 2;
}

} // namespace

int main(int argc, char **argv) {
    SrvConfig config;
    srv_default_config(&config);
    uint16_t port = NET_RDV_PORT;
    long ws_port = -1; // the UDP port's number unless given
    const char *bind_text = nullptr;
    in_addr bind_addr{};
    bind_addr.s_addr = htonl(INADDR_ANY);
    if (argc > 1 && !std::strcmp(argv[1], "--load")) return srv_load(argc - 2, argv + 2);
    for (int i = 1; i < argc; i++) {
        const char *a = argv[i];
        long v;
        int has_value = i + 1 < argc;
        if (!std::strcmp(a, "--help")) {
            usage(stdout);
            return 0;
        } else if (!std::strcmp(a, "--version")) {
            std::printf("quorvane-server %s\n", QUORVANE_VERSION);
            return 0;
        } else if (!std::strcmp(a, "--verbose")) {
            config.verbose = 1;
        } else if (!std::strcmp(a, "--port")) {
            if (!has_value || !parse_number(argv[++i], 1, 65535, &v))
                return bad_usage("--port needs a port, 1 to 65535%s", "");
            port = static_cast<uint16_t>(v);
        } else if (!std::strcmp(a, "--ws-port")) {
            if (!has_value || !parse_number(argv[++i], 0, 65535, &v))
                return bad_usage("--ws-port needs a port, 0 (none) to 65535%s", "");
            ws_port = v;
        } else if (!std::strcmp(a, "--max-rooms")) {
            if (!has_value || !parse_number(argv[++i], 1, 10000000, &v))
                return bad_usage("--max-rooms needs a number, 1 to 10000000%s", "");
            config.max_rooms = static_cast<int32_t>(v);
        } else if (!std::strcmp(a, "--bind")) {
            if (!has_value || inet_pton(AF_INET, argv[++i], &bind_addr) != 1)
                return bad_usage("--bind needs an IPv4 address, not '%s'", has_value ? argv[i] : "");
            bind_text = argv[i];
        } else {
            return bad_usage("unknown option '%s'", a);
        }
    }
    if (getrandom(config.key, sizeof config.key, 0) != static_cast<ssize_t>(sizeof config.key)) {
        std::fprintf(stderr, "quorvane-server: no random numbers for the address tokens: %s\n", std::strerror(errno));
        return 1;
    }
    if (ws_port < 0) ws_port = port;
    ENetAddress me{bind_addr.s_addr, port};
    ENetHost *host = enet_initialize() == 0 ? enet_host_create(&me, BRIDGES_MAX, 1, 0, 0) : nullptr;
    if (!host) {
        char where[INET_ADDRSTRLEN];
        inet_ntop(AF_INET, &bind_addr, where, sizeof where);
        std::fprintf(stderr, "quorvane-server: cannot listen on UDP %s:%u: %s\n", where, port,
                     net_rdv_listen_error_text(errno));
        return 1;
    }
    host->intercept = intercept;
    sock = host->socket;
    if (ws_port && !srv_ws_start(host, bind_text, static_cast<uint16_t>(ws_port))) {
        std::fprintf(stderr, "quorvane-server: cannot listen on TCP port %ld for WebSocket players\n", ws_port);
        return 1;
    }
    // ENet reads into a 4 KiB buffer and fails the whole read of a longer datagram, which the
    // rooms then never see. The kernel cuts every datagram to one byte past the longest we
    // relay instead (the UDP header counts too), so the rooms drop and count it as oversized.
    sock_filter cut = {BPF_RET | BPF_K, 0, 0, 8 + NET_RDV_RELAY_MAX + 1};
    sock_fprog cut_all = {1, &cut};
    setsockopt(sock, SOL_SOCKET, SO_ATTACH_FILTER, &cut_all, sizeof cut_all);
    int buf = 4 << 20;
    setsockopt(sock, SOL_SOCKET, SO_RCVBUF, &buf, sizeof buf);
    setsockopt(sock, SOL_SOCKET, SO_SNDBUF, &buf, sizeof buf);

    struct sigaction sa {};
    sa.sa_handler = on_signal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGUSR1, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);

    srv_init(&config, udp_send, log_line);
    {
        char where[INET_ADDRSTRLEN], line[160];
        inet_ntop(AF_INET, &bind_addr, where, sizeof where);
        int n = std::snprintf(line, sizeof line, "quorvane-server %s on UDP %s:%u", QUORVANE_VERSION, where, port);
        if (ws_port) n += std::snprintf(line + n, sizeof line - n, ", WebSocket on TCP %s:%ld", where, ws_port);
        std::snprintf(line + n, sizeof line - n, ", at most %d rooms", config.max_rooms);
        log_line(line);
    }
    uint64_t next_tick = now_ms() + 1000, next_stats = now_ms() + STATS_MS;
    std::vector<pollfd> fds;
    while (!stop_signal) {
        fds.assign(1, pollfd{sock, POLLIN, 0});
        srv_ws_poll_fds(&fds);
        poll(fds.data(), fds.size(), srv_ws_busy() ? BRIDGE_POLL_MS : POLL_MS);
        uint64_t now = now_ms();
        loop_now = now;
        // Bounded batches (ENet reads at most 256 datagrams a service), so the clock and the
        // signals are looked at between them.
        for (int32_t n = 0; n < 16 && !stop_signal; n++) {
            uint32_t before = host->totalReceivedPackets;
            ENetEvent ev;
            int got = enet_host_service(host, &ev, 0);
            if (got > 0) {
                srv_ws_enet_event(&ev, now);
                continue;
            }
            if (got < 0 || host->totalReceivedPackets - before < 256) break;
        }
        srv_ws_service(now);
        enet_host_flush(host);
        if (now >= next_tick) {
            srv_tick(now);
            next_tick = now + 1000;
        }
        if (stats_wanted || now >= next_stats) {
            stats_wanted = 0;
            print_stats();
            next_stats = now + STATS_MS;
        }
    }
    srv_shutdown();
    enet_host_flush(host);
    srv_ws_drain(300);
    print_stats();
    log_line(stop_signal == SIGINT ? "stopped (SIGINT)" : "stopped (SIGTERM)");
    srv_ws_stop();
    enet_host_destroy(host);
    enet_deinitialize();
    return 0;
}
