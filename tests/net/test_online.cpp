// Two quorvane-sim processes play each other over the loopback address.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <enet/enet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "net/net.h"
#include "tests/replay/proc.h"

namespace {

const std::string SIM = std::string(QUORVANE_BINARY_DIR) + "/quorvane-sim";
const std::string ASSETS = std::string(QUORVANE_BINARY_DIR) + "/assets";
constexpr int32_t MATCH_SECONDS = 120;
// A seed whose match both players score in.
const char *const SEED = "1";

struct Proc {
    pid_t pid = -1;
    std::string out_path, err_path;
    int status = -1;
};

// A UDP socket bound to a free loopback port, and that port.
int loopback_socket(uint16_t *port) {
    int s = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(s, reinterpret_cast<sockaddr *>(&a), &len);
    *port = ntohs(a.sin_port);
    return s;
}

// A UDP port nobody uses now.
uint16_t free_port(void) {
    uint16_t port;
    close(loopback_socket(&port));
    return port;
}

// Runs command line cmd in the assets folder, its output to files named after tag.
Proc spawn(const std::string &cmd, const std::string &tag) {
    Proc p;
    p.out_path = std::string(QUORVANE_BINARY_DIR) + "/net-" + tag + ".out";
    p.err_path = std::string(QUORVANE_BINARY_DIR) + "/net-" + tag + ".err";
    // Emptied before the child starts, so nothing of an earlier run is read as this one's.
    std::ofstream(p.out_path, std::ios::trunc);
    std::ofstream(p.err_path, std::ios::trunc);
    std::string line =
        "cd '" + ASSETS + "' && exec " + cmd + " </dev/null >'" + p.out_path + "' 2>'" + p.err_path + "'";
    p.pid = fork();
    if (p.pid == 0) {
        execl("/bin/sh", "sh", "-c", line.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    return p;
}

// Waits up to seconds for the process; kills it when it overstays. 1 when it ended by itself.
int32_t reap(Proc *p, double seconds) {
    auto start = std::chrono::steady_clock::now();
    for (;;) {
        if (waitpid(p->pid, &p->status, WNOHANG) == p->pid) return 1;
        if (std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() > seconds) {
            kill(p->pid, SIGKILL);
            waitpid(p->pid, &p->status, 0);
            return 0;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void send_msg(ENetPeer *peer, const NetMsg &m) {
    uint8_t bytes[NET_MSG_MAX];
    enet_peer_send(peer, 0, enet_packet_create(bytes, net_encode(&m, bytes), ENET_PACKET_FLAG_RELIABLE));
}

int exit_code(const Proc &p) { return WIFEXITED(p.status) ? WEXITSTATUS(p.status) : -1; }

// A host on port, given time to bind before anyone joins.
Proc spawn_host(uint16_t port, const std::string &tag) {
    Proc p = spawn(SIM + " --host " + std::to_string(port) + " --computer 1 --seed " + SEED, tag);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    return p;
}
std::string join_args(uint16_t port) { return SIM + " --join 127.0.0.1:" + std::to_string(port) + " --computer 2"; }

TEST(Online, ASideKilledMidMatchEndsTheOtherWithStatus3) {
    uint16_t port = free_port();
    Proc host = spawn_host(port, "host-kill");
    Proc join = spawn(join_args(port), "join-kill");
    for (int32_t i = 0; i < 500 && rt::read_text(join.err_path).find("match begins") == std::string::npos; i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ASSERT_EQ(reap(&join, 0), 0) << "the joiner ended before the kill";
    auto killed = std::chrono::steady_clock::now();
    ASSERT_TRUE(reap(&host, 15)) << "the host did not notice";
    double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - killed).count();
    EXPECT_EQ(exit_code(host), 3);
    EXPECT_LE(took, 10.0); // a vanished peer is noticed within 10 s
    std::string err = rt::read_text(host.err_path);
    EXPECT_TRUE(err.find("gone") != std::string::npos || err.find("lost") != std::string::npos) << err;
}

// A UDP relay on the loopback: what the joiner sends to its port goes on to the host's port and
// what the host sends back goes to the joiner, each datagram held delay_ms and one in every
// drop_every dropped (by a fixed count).
struct Relay {
    int fd = -1;
    uint16_t port = 0;
    std::thread worker;
    volatile int stop = 0;
};

void relay_run(Relay *r, uint16_t host_port, int32_t delay_ms, int32_t drop_every) {
    struct Held {
        std::chrono::steady_clock::time_point due;
        sockaddr_in to;
        std::vector<uint8_t> bytes;
    };
    std::deque<Held> held;
    sockaddr_in joiner{}, host{};
    host.sin_family = AF_INET;
    host.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    host.sin_port = htons(host_port);
    uint32_t count = 0;
    uint8_t buf[2048];
    while (!r->stop) {
        sockaddr_in from{};
        socklen_t len = sizeof from;
        ssize_t n = recvfrom(r->fd, buf, sizeof buf, MSG_DONTWAIT, reinterpret_cast<sockaddr *>(&from), &len);
        if (n > 0) {
            bool from_host = from.sin_port == host.sin_port;
            if (!from_host) joiner = from;
            if (++count % drop_every != 0)
                held.push_back({std::chrono::steady_clock::now() + std::chrono::milliseconds(delay_ms),
                                from_host ? joiner : host, std::vector<uint8_t>(buf, buf + n)});
        }
        // One delay for all: what came first is due first.
        for (; !held.empty() && held.front().due <= std::chrono::steady_clock::now(); held.pop_front())
            sendto(r->fd, held.front().bytes.data(), held.front().bytes.size(), 0,
                   reinterpret_cast<sockaddr *>(&held.front().to), sizeof(sockaddr_in));
        if (n <= 0) std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
}

void relay_stop(Relay *r) {
    r->stop = 1;
    r->worker.join();
    close(r->fd);
}

// A client of another version is refused with both versions named; garbage before it is
// dropped without harm. The host then plays a whole match with a proper player, through a relay
// with 50 ms each way and one datagram in 20 lost.
TEST(Online, AnotherVersionIsRefusedThenAMatchThroughDelayAndLoss) {
    uint16_t port = free_port();
    Proc host = spawn_host(port, "host-version");
    ASSERT_EQ(enet_initialize(), 0);
    ENetHost *client = enet_host_create(nullptr, 1, 1, 0, 0);
    ENetAddress address{ENET_HOST_TO_NET_32(INADDR_LOOPBACK), port};
    ENetPeer *peer = enet_host_connect(client, &address, 1, 0);
    NetMsg refused{};
    int32_t connected = 0;
    for (int32_t i = 0; i < 500 && refused.type == 0; i++) {
        ENetEvent ev;
        if (enet_host_service(client, &ev, 10) <= 0) continue;
        if (ev.type == ENET_EVENT_TYPE_CONNECT) {
            connected = 1;
            const uint8_t garbage[] = {'Q', 'V', 1, 5, 0xFF};
            enet_peer_send(peer, 0, enet_packet_create(garbage, sizeof garbage, ENET_PACKET_FLAG_RELIABLE));
            NetMsg hello{};
            hello.type = NET_MSG_HELLO;
            std::strcpy(hello.version, "99.0.0");
            send_msg(peer, hello);
        } else if (ev.type == ENET_EVENT_TYPE_RECEIVE) {
            net_decode(ev.packet->data, ev.packet->dataLength, &refused);
            enet_packet_destroy(ev.packet);
        }
    }
    enet_host_destroy(client);
    enet_deinitialize();
    EXPECT_TRUE(connected);
    EXPECT_EQ(refused.type, NET_MSG_REFUSE);
    EXPECT_EQ(refused.reason, NET_REFUSE_VERSION);
    EXPECT_STRNE(refused.version, "99.0.0");
    EXPECT_GT(std::strlen(refused.version), 0u);
    Relay relay;
    relay.fd = loopback_socket(&relay.port);
    relay.worker = std::thread(relay_run, &relay, port, 50, 20);
    Proc join = spawn(join_args(relay.port), "join-version");
    // Both sides play the whole match and print the same result line.
    EXPECT_TRUE(reap(&join, MATCH_SECONDS)) << "joiner overran";
    EXPECT_TRUE(reap(&host, 10)) << "host overran";
    relay_stop(&relay);
    EXPECT_EQ(exit_code(host), 0) << rt::read_text(host.err_path);
    EXPECT_EQ(exit_code(join), 0) << rt::read_text(join.err_path);
    std::string a = rt::read_text(host.out_path), b = rt::read_text(join.out_path);
    // Best of 5: the winner has 3 rounds.
    EXPECT_TRUE(std::regex_match(a, std::regex("result: player1 (3 player2 [0-2]|[0-2] player2 3) frames [0-9]+ "
                                               "shots [0-9]+ hash [0-9a-f]{16}")))
        << a;
    EXPECT_EQ(a, b);
}

// A host that says its game starts from another state: the joiner stops with a desync line,
// status 3 and the streams written for a bug report.
TEST(Online, AJoinerStartingFromAnotherStateStopsWithADesync) {
    ASSERT_EQ(enet_initialize(), 0);
    uint16_t port = free_port();
    ENetAddress address{ENET_HOST_TO_NET_32(INADDR_LOOPBACK), port};
    ENetHost *fake = enet_host_create(&address, 1, 1, 0, 0);
    ASSERT_NE(fake, nullptr);
    setenv("TMPDIR", QUORVANE_BINARY_DIR, 1);
    Proc join = spawn(join_args(port), "join-desync");
    unsetenv("TMPDIR");
    int32_t ended = 0;
    for (int32_t i = 0; i < 1000 && !ended; i++) {
        ENetEvent ev;
        if (enet_host_service(fake, &ev, 10) > 0 && ev.type == ENET_EVENT_TYPE_RECEIVE) {
            NetMsg hello;
            if (net_decode(ev.packet->data, ev.packet->dataLength, &hello) && hello.type == NET_MSG_HELLO) {
                NetMsg w{};
                w.type = NET_MSG_WELCOME;
                std::memcpy(w.version, hello.version, sizeof w.version);
                w.seed = 1;
                w.hash = 12345;
                send_msg(ev.peer, w);
            }
            enet_packet_destroy(ev.packet);
        }
        ended = waitpid(join.pid, &join.status, WNOHANG) == join.pid;
    }
    enet_host_destroy(fake);
    enet_deinitialize();
    if (!ended) reap(&join, 0);
    ASSERT_TRUE(ended);
    EXPECT_EQ(exit_code(join), 3);
    std::string err = rt::read_text(join.err_path);
    EXPECT_NE(err.find("Desync at frame 0"), std::string::npos) << err;
    std::string marker = "written to ";
    size_t at = err.find(marker);
    ASSERT_NE(at, std::string::npos) << err;
    std::string path = err.substr(at + marker.size());
    path = path.substr(0, path.find('\n'));
    std::string streams = rt::read_text(path);
    EXPECT_NE(streams.find("desync at frame 0"), std::string::npos) << streams;
    EXPECT_NE(streams.find("other side 0000000000003039"), std::string::npos) << streams;
    std::remove(path.c_str());
}

// The lossy, reordering relay (tools/lossyrelay) in front of a host: its port.
struct BadLink {
    Proc relay;
    uint16_t port = 0;
};
BadLink bad_link(uint16_t host_port, const std::string &loss, const std::string &delay, int32_t seed,
                 const std::string &tag) {
    BadLink b;
    b.relay = spawn(std::string(QUORVANE_BINARY_DIR) +
                        "/quorvane_lossy_relay --listen 0 --to 127.0.0.1:" + std::to_string(host_port) + " --loss " +
                        loss + " --delay " + delay + " --seed " + std::to_string(seed),
                    tag);
    for (int32_t i = 0; i < 500 && b.port == 0; i++) {
        std::string out = rt::read_text(b.relay.out_path);
        if (out.rfind("relay: ", 0) == 0) b.port = static_cast<uint16_t>(std::stoi(out.substr(7)));
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return b;
}

// Ten in a hundred datagrams lost each way and each held 50-150 ms, so they overtake each other:
// two matches at once both play to their end with the same result line on both sides. Keys
// late on such a link once counted as a lost link, and a host that finished left before its
// last frames had reached the joiner.
TEST(Online, MatchesOverTenPercentLossAndReorderingEndAlikeOnBothSides) {
    struct Match {
        Proc host, join;
        BadLink link;
    };
    Match m[2];
    for (int32_t i = 0; i < 2; i++) {
        uint16_t port = free_port();
        std::string tag = "bad-link-" + std::to_string(i);
        m[i].host = spawn(SIM + " --host " + std::to_string(port) + " --computer 1 --seed " + std::to_string(i + 1),
                          tag + "-host");
        m[i].link = bad_link(port, "0.1", "50-150", i + 1, tag + "-relay");
        ASSERT_NE(m[i].link.port, 0);
        m[i].join = spawn(join_args(m[i].link.port), tag + "-join");
    }
    for (Match &x : m) {
        EXPECT_TRUE(reap(&x.join, 240)) << "joiner overran";
        EXPECT_TRUE(reap(&x.host, 20)) << "host overran";
        kill(x.link.relay.pid, SIGTERM);
        reap(&x.link.relay, 5);
        EXPECT_EQ(exit_code(x.host), 0) << rt::read_text(x.host.err_path);
        EXPECT_EQ(exit_code(x.join), 0) << rt::read_text(x.join.err_path);
        std::string a = rt::read_text(x.host.out_path), b = rt::read_text(x.join.out_path);
        EXPECT_NE(a.find("result: player1 "), std::string::npos) << a;
        EXPECT_EQ(a, b);
    }
}

// A side stopped (SIGSTOP) for less than the link's give-up time goes on as if nothing
// happened; stopped for longer, it says the stop was its own, and the other side says its
// peer went silent.
TEST(Online, AStoppedSideResumesOrBlamesItselfNotTheOtherMachine) {
    for (int32_t seconds : {3, 11}) {
        uint16_t port = free_port();
        std::string tag = "stop-" + std::to_string(seconds);
        Proc host = spawn_host(port, tag + "-host");
        Proc join = spawn(join_args(port), tag + "-join");
        for (int32_t i = 0; i < 500 && rt::read_text(join.err_path).find("match begins") == std::string::npos; i++)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ASSERT_EQ(waitpid(join.pid, &join.status, WNOHANG), 0) << "the joiner ended before the stop";
        kill(join.pid, SIGSTOP);
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        kill(join.pid, SIGCONT);
        EXPECT_TRUE(reap(&join, MATCH_SECONDS)) << "joiner overran";
        EXPECT_TRUE(reap(&host, 20)) << "host overran";
        std::string herr = rt::read_text(host.err_path), jerr = rt::read_text(join.err_path);
        if (seconds < 8) {
            EXPECT_EQ(exit_code(host), 0) << herr;
            EXPECT_EQ(exit_code(join), 0) << jerr;
            EXPECT_EQ(rt::read_text(host.out_path), rt::read_text(join.out_path));
        } else {
            EXPECT_EQ(exit_code(host), 3) << herr;
            EXPECT_EQ(exit_code(join), 3) << jerr;
            EXPECT_NE(herr.find("gone silent"), std::string::npos) << herr;
            EXPECT_NE(jerr.find("This game stood still for"), std::string::npos) << jerr;
        }
    }
}

// A room server on a free loopback port; its port.
Proc spawn_server(uint16_t *port, const std::string &tag) {
    *port = free_port();
    Proc p = spawn(
        std::string(QUORVANE_BINARY_DIR) + "/quorvane-server --bind 127.0.0.1 --port " + std::to_string(*port), tag);
    for (int32_t i = 0; i < 500 && rt::read_text(p.out_path).find("on UDP") == std::string::npos; i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return p;
}

// Two simulators meet by room code: the maker's first line names the room, the joiner types it
// in lower case, both play direct (nothing stands between them here) to equal results.
TEST(Online, TwoPlayersMeetByRoomCodeAndPlayDirect) {
    uint16_t port;
    Proc server = spawn_server(&port, "room-server");
    std::string where = " --server 127.0.0.1:" + std::to_string(port);
    Proc maker = spawn(SIM + " --online --computer 1 --seed 1" + where, "room-maker");
    std::string code;
    for (int32_t i = 0; i < 500 && code.empty(); i++) {
        std::string out = rt::read_text(maker.out_path);
        if (out.rfind("room: ", 0) == 0 && out.size() >= 12) code = out.substr(6, 6);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(std::regex_match(code, std::regex("[0-9A-HJKMNP-TV-Z]{6}"))) << code;
    std::string lower = code;
    for (char &c : lower) c = static_cast<char>(std::tolower(c));
    Proc joiner = spawn(SIM + " --online " + lower + " --computer 2" + where, "room-joiner");
    EXPECT_TRUE(reap(&joiner, MATCH_SECONDS)) << "joiner overran";
    EXPECT_TRUE(reap(&maker, 20)) << "maker overran";
    EXPECT_EQ(exit_code(maker), 0) << rt::read_text(maker.err_path);
    EXPECT_EQ(exit_code(joiner), 0) << rt::read_text(joiner.err_path);
    std::string a = rt::read_text(maker.out_path), b = rt::read_text(joiner.out_path);
    EXPECT_EQ(a.substr(0, a.find('\n')), "room: " + code);
    EXPECT_EQ(a.substr(a.find('\n') + 1), b);
    EXPECT_NE(b.find("result: player1 "), std::string::npos) << b;
    EXPECT_NE(rt::read_text(maker.err_path).find("link: direct"), std::string::npos);
    EXPECT_NE(rt::read_text(joiner.err_path).find("link: direct"), std::string::npos);
    // A code nobody made: one line why, status 3, well within 20 s.
    auto t = std::chrono::steady_clock::now();
    Proc wrong = spawn(SIM + " --online 222222 --computer 2" + where, "room-wrong");
    EXPECT_TRUE(reap(&wrong, 25));
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count(), 20.0);
    EXPECT_EQ(exit_code(wrong), 3);
    EXPECT_NE(rt::read_text(wrong.err_path).find("No room has that code"), std::string::npos)
        << rt::read_text(wrong.err_path);
    kill(server.pid, SIGTERM);
    EXPECT_TRUE(reap(&server, 5));
    std::string log = rt::read_text(server.out_path);
    EXPECT_NE(log.find("room " + code + " created by 127.0.0.1:"), std::string::npos) << log;
    EXPECT_NE(log.find("room " + code + " plays direct"), std::string::npos) << log;
}

// Without a room server named anywhere, --online says so and exits with 2; so do a bad code and
// the computer given the other machine's seat (it would be silently ignored).
TEST(Online, OnlineWithoutAServerOrWithABadCodeIsABadCommandLine) {
    struct Case {
        std::string args, says;
    };
    const Case cases[] = {
        {"--online --computer 1", "no server configured"},
        {"--online --server 127.0.0.1 --host --computer 1", "--online with --host"},
        {"--online UUUUUU --server 127.0.0.1 --computer 2", "a room code is 6 letters and digits"},
        {"--host --computer 2", "--computer 1 when hosting"},
        {"--online --server 127.0.0.1 --computer both", "--computer 1 when hosting"},
        {"--join 127.0.0.1 --computer 1", "--computer 2 when joining"},
    };
    for (const Case &c : cases) {
        Proc p = spawn("env -u QUORVANE_SERVER " + SIM + " " + c.args, "bad-online");
        EXPECT_TRUE(reap(&p, 10));
        EXPECT_EQ(exit_code(p), 2) << c.args;
        EXPECT_NE(rt::read_text(p.err_path).find(c.says), std::string::npos) << rt::read_text(p.err_path);
    }
}

// A port another program holds: the host says so, not a guess.
TEST(Online, AHostWhosePortIsTakenSaysSo) {
    uint16_t port;
    int held = loopback_socket(&port);
    Proc p = spawn(SIM + " --host " + std::to_string(port) + " --computer 1", "port-taken");
    EXPECT_TRUE(reap(&p, 10));
    close(held);
    EXPECT_NE(rt::read_text(p.err_path)
                  .find("Cannot listen on UDP port " + std::to_string(port) + ": another program uses that port"),
              std::string::npos)
        << rt::read_text(p.err_path);
}

// A room server that never answers (nothing listens on its port): a join gives up within 20 s
// with one line saying so, status 3.
TEST(Online, ASilentRoomServerIsGivenUpWithin20Seconds) {
    uint16_t port = free_port();
    auto t = std::chrono::steady_clock::now();
    Proc p = spawn(SIM + " --online 7KQ3MZ --computer 2 --server 127.0.0.1:" + std::to_string(port), "silent-server");
    EXPECT_TRUE(reap(&p, 30));
    double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
    EXPECT_LE(took, 21.0);
    EXPECT_EQ(exit_code(p), 3);
    std::string err = rt::read_text(p.err_path);
    EXPECT_NE(err.find("The room server at 127.0.0.1:" + std::to_string(port) + " did not answer within 20 s"),
              std::string::npos)
        << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 0) << err; // one line
}

} // namespace

namespace {

// One ENet client's connection to the host at port while the host's frames run: sends HELLO
// once connected, and on WELCOME (with bye not 0) READY then that bye; the host's reply in *got.
void hello_while_hosting(uint16_t port, uint8_t bye, NetMsg *got) {
    ENetHost *client = enet_host_create(nullptr, 1, 1, 0, 0);
    ENetAddress address{ENET_HOST_TO_NET_32(INADDR_LOOPBACK), port};
    ENetPeer *peer = enet_host_connect(client, &address, 1, 0);
    *got = NetMsg{};
    for (int32_t i = 0; i < 2000 && got->type == 0; i++) {
        net_after_frame();
        ENetEvent ev;
        if (enet_host_service(client, &ev, 5) <= 0) continue;
        if (ev.type == ENET_EVENT_TYPE_CONNECT) {
            NetMsg hello{};
            hello.type = NET_MSG_HELLO;
            std::snprintf(hello.version, sizeof hello.version, "%s", QUORVANE_VERSION);
            send_msg(peer, hello);
        } else if (ev.type == ENET_EVENT_TYPE_RECEIVE) {
            net_decode(ev.packet->data, ev.packet->dataLength, got);
            enet_packet_destroy(ev.packet);
        }
    }
    if (bye && got->type == NET_MSG_WELCOME) {
        NetMsg m{};
        m.type = NET_MSG_READY;
        send_msg(peer, m);
        m.type = NET_MSG_BYE;
        m.reason = bye;
        send_msg(peer, m);
        enet_host_flush(client);
        for (int32_t i = 0; i < 2000 && net_state() != NET_STATE_ENDED; i++) {
            ENetEvent ev;
            enet_host_service(client, &ev, 5);
            net_after_frame();
        }
    }
    enet_host_destroy(client);
}

} // namespace

// A host whose match was cut short plays on alone: a newcomer hears that, not that the host is
// busy or out of reach.
TEST(Online, AJoinerAfterTheMatchWasCutShortIsToldSo) {
    uint16_t port = free_port();
    ASSERT_TRUE(net_host(port, nullptr, 0)) << net_message();
    NetMsg got{};
    hello_while_hosting(port, NET_BYE_QUIT, &got);
    ASSERT_EQ(got.type, NET_MSG_WELCOME);
    ASSERT_EQ(net_state(), NET_STATE_ENDED);
    EXPECT_EQ(net_end_reason(), NET_END_QUIT);
    hello_while_hosting(port, 0, &got);
    EXPECT_EQ(got.type, NET_MSG_REFUSE);
    EXPECT_EQ(got.reason, NET_REFUSE_ENDED);
    net_close(NET_BYE_QUIT);
}
