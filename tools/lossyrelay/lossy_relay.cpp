// quorvane_lossy_relay: a bad link between two programs on one machine. Listens on a UDP port,
// forwards every datagram from the first sender to the target and the target's back to that
// sender, dropping a share of them and holding each for a random time in a range (so later
// ones overtake earlier ones, as on a congested Wi-Fi link).
//   quorvane_lossy_relay --listen PORT --to HOST:PORT [--loss 0.1] [--delay 50-150] [--seed N]
// Prints "relay: PORT" once it listens (PORT 0 picks a free one); runs until SIGTERM/SIGINT,
// then prints how many datagrams it forwarded and dropped each way. SIGUSR1 holds every
// datagram until the next SIGUSR1, which lets them all go at once: the burst a receiver gets
// after a lost datagram is resent.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <queue>
#include <random>
#include <vector>

namespace {

volatile sig_atomic_t stopping, holding;
void on_signal(int) { stopping = 1; }
void on_hold(int) { holding = !holding; }

uint64_t now_us(void) {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<uint64_t>(t.tv_sec) * 1000000 + static_cast<uint64_t>(t.tv_nsec) / 1000;
}

struct Held {
    uint64_t due_us;
    uint64_t order;
    int32_t to_target;
    std::vector<uint8_t> bytes;
};
struct Later {
    bool operator()(const Held &a, const Held &b) const {
        return a.due_us != b.due_us ? a.due_us > b.due_us : a.order > b.order;
    }
};

} // namespace

int main(int argc, char **argv) {
    uint16_t listen_port = 0;
    sockaddr_in target{};
    target.sin_family = AF_INET;
    double loss = 0.1;
    int delay_lo = 50, delay_hi = 150;
    unsigned seed = 1;
    int have_target = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        const char *opt = argv[i], *v = argv[i + 1];
        if (!std::strcmp(opt, "--listen")) {
            listen_port = static_cast<uint16_t>(std::atoi(v));
        } else if (!std::strcmp(opt, "--to")) {
            char host[64];
            unsigned port = 0;
            if (std::sscanf(v, "%63[^:]:%u", host, &port) != 2 || inet_pton(AF_INET, host, &target.sin_addr) != 1)
                break;
            target.sin_port = htons(static_cast<uint16_t>(port));
            have_target = 1;
        } else if (!std::strcmp(opt, "--loss")) {
            loss = std::atof(v);
        } else if (!std::strcmp(opt, "--delay")) {
            if (std::sscanf(v, "%d-%d", &delay_lo, &delay_hi) != 2 || delay_lo < 0 || delay_hi < delay_lo) break;
        } else if (!std::strcmp(opt, "--seed")) {
            seed = static_cast<unsigned>(std::strtoul(v, nullptr, 10));
        }
    }
    if (!have_target) {
        std::fprintf(stderr, "usage: quorvane_lossy_relay --listen PORT --to HOST:PORT [--loss 0.1] "
                             "[--delay 50-150] [--seed N]\n");
        return 2;
    }
    int front = socket(AF_INET, SOCK_DGRAM, 0), back = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in me{};
    me.sin_family = AF_INET;
    me.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    me.sin_port = htons(listen_port);
    if (bind(front, reinterpret_cast<sockaddr *>(&me), sizeof me) != 0) {
        std::perror("quorvane_lossy_relay: bind");
        return 1;
    }
    socklen_t len = sizeof me;
    getsockname(front, reinterpret_cast<sockaddr *>(&me), &len);
    std::printf("relay: %u\n", ntohs(me.sin_port));
    std::fflush(stdout);
    signal(SIGTERM, on_signal);
    signal(SIGINT, on_signal);
    signal(SIGUSR1, on_hold);

    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> coin(0.0, 1.0);
    std::uniform_int_distribution<int> delay(delay_lo * 1000, delay_hi * 1000);
    std::priority_queue<Held, std::vector<Held>, Later> held;
    sockaddr_in client{};
    int have_client = 0;
    uint64_t order = 0, forwarded[2] = {0, 0}, dropped[2] = {0, 0};
    int was_holding = 0;
    while (!stopping) {
        uint64_t now = now_us();
        int releasing = was_holding && !holding;
        was_holding = holding;
        uint64_t upto = holding ? 0 : releasing ? UINT64_MAX : now;
        while (!held.empty() && held.top().due_us <= upto) {
            const Held &h = held.top();
            if (h.to_target)
                sendto(back, h.bytes.data(), h.bytes.size(), 0, reinterpret_cast<const sockaddr *>(&target),
                       sizeof target);
            else if (have_client)
                sendto(front, h.bytes.data(), h.bytes.size(), 0, reinterpret_cast<sockaddr *>(&client), sizeof client);
            held.pop();
        }
        int wait_ms = holding || held.empty() ? 100 : static_cast<int>((held.top().due_us - now + 999) / 1000);
        pollfd p[2] = {{front, POLLIN, 0}, {back, POLLIN, 0}};
        if (poll(p, 2, wait_ms) <= 0) continue;
        for (int side = 0; side < 2; side++) {
            if (!(p[side].revents & POLLIN)) continue;
            uint8_t buf[2048];
            sockaddr_in from{};
            socklen_t flen = sizeof from;
            ssize_t n =
                recvfrom(side == 0 ? front : back, buf, sizeof buf, 0, reinterpret_cast<sockaddr *>(&from), &flen);
            if (n < 0) continue;
            if (side == 0 && !have_client) {
                client = from;
                have_client = 1;
            }
            if (side == 0 && (from.sin_port != client.sin_port || from.sin_addr.s_addr != client.sin_addr.s_addr))
                continue;
            int to_target = side == 0;
            if (coin(rng) < loss) {
                dropped[to_target]++;
                continue;
            }
            forwarded[to_target]++;
            held.push({now_us() + static_cast<uint64_t>(delay(rng)), order++, to_target, {buf, buf + n}});
        }
    }
    std::printf("forwarded %llu and dropped %llu towards the target; forwarded %llu and dropped %llu back\n",
                static_cast<unsigned long long>(forwarded[1]), static_cast<unsigned long long>(dropped[1]),
                static_cast<unsigned long long>(forwarded[0]), static_cast<unsigned long long>(dropped[0]));
    return 0;
}
