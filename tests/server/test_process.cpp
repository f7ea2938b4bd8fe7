// The real quorvane-server over real UDP on the loopback address.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "net/net_rdv.h"

namespace {

const std::string SERVER = std::string(QUORVANE_BINARY_DIR) + "/quorvane-server";

double since(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

std::string read_text(const std::string &path) {
    std::ifstream f(path);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

struct Server {
    pid_t pid = -1;
    uint16_t port = 0;
    std::string out;
};

int udp_socket(void) {
    int s = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a);
    return s;
}
uint16_t port_of(int s) {
    sockaddr_in a{};
    socklen_t len = sizeof a;
    getsockname(s, reinterpret_cast<sockaddr *>(&a), &len);
    return ntohs(a.sin_port);
}

// Starts the server on a free port and waits for its first line.
Server start(const std::string &tag) {
    Server s;
    int probe = udp_socket();
    s.port = port_of(probe);
    close(probe);
    s.out = std::string(QUORVANE_BINARY_DIR) + "/server-" + tag + ".out";
    std::ofstream(s.out, std::ios::trunc);
    s.pid = fork();
    if (s.pid == 0) {
        std::string cmd =
            "exec '" + SERVER + "' --bind 127.0.0.1 --port " + std::to_string(s.port) + " >'" + s.out + "'";
        execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    for (int i = 0; i < 500 && read_text(s.out).find("on UDP") == std::string::npos; i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return s;
}

int32_t exchange(int sock, uint16_t port, const NetRdvMsg &m, NetRdvMsg *answer) {
    uint8_t b[NET_RDV_MAX];
    size_t n = net_rdv_encode(&m, b);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(port);
    for (int attempt = 0; attempt < 20; attempt++) {
        sendto(sock, b, n, 0, reinterpret_cast<sockaddr *>(&to), sizeof to);
        pollfd p{sock, POLLIN, 0};
        if (poll(&p, 1, 200) == 1) {
            uint8_t got[2048];
            ssize_t r = recv(sock, got, sizeof got, 0);
            if (r > 0 && net_rdv_decode(got, static_cast<size_t>(r), answer)) return 1;
        }
    }
    return 0;
}

NetRdvMsg ask(int sock, uint16_t port, uint8_t op, uint32_t code) {
    NetRdvMsg m{}, answer{};
    m.type = NET_RDV_REQUEST;
    m.op = op;
    m.code = code;
    m.nonce = 42;
    EXPECT_TRUE(exchange(sock, port, m, &answer));
    EXPECT_EQ(answer.type, NET_RDV_CHALLENGE);
    m.token = answer.token;
    EXPECT_TRUE(exchange(sock, port, m, &answer));
    return answer;
}

TEST(ServerProcess, MeetsTwoPlayersCountsOnSigusr1AndStopsWithinASecondOfSigterm) {
    Server s = start("meet");
    ASSERT_GT(s.pid, 0);
    int a = udp_socket(), b = udp_socket();
    NetRdvMsg made = ask(a, s.port, NET_RDV_OP_CREATE, 0);
    ASSERT_EQ(made.type, NET_RDV_STATUS);
    NetRdvMsg joined = ask(b, s.port, NET_RDV_OP_JOIN, made.code);
    ASSERT_EQ(joined.type, NET_RDV_STATUS);
    EXPECT_EQ(joined.peer_port, port_of(a));
    char code[8];
    net_rdv_code_text(made.code, code);

    kill(s.pid, SIGUSR1);
    for (int i = 0; i < 300 && read_text(s.out).find("stats ") == std::string::npos; i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::string out = read_text(s.out);
    EXPECT_NE(out.find(std::string("room ") + code + " created by 127.0.0.1:" + std::to_string(port_of(a))),
              std::string::npos)
        << out;
    EXPECT_NE(out.find(std::string("room ") + code + " joined by"), std::string::npos) << out;
    EXPECT_NE(out.find("stats rooms=1 created=1 paired=1"), std::string::npos) << out;

    auto t = std::chrono::steady_clock::now();
    kill(s.pid, SIGTERM);
    int status = -1;
    while (waitpid(s.pid, &status, WNOHANG) != s.pid && since(t) < 5)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_LT(since(t), 1.0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    // The players hear that it stopped.
    for (int sock : {a, b}) {
        NetRdvMsg m{};
        for (int i = 0; i < 5 && m.type != NET_RDV_ERROR; i++) {
            pollfd p{sock, POLLIN, 0};
            uint8_t got[64];
            if (poll(&p, 1, 1000) != 1) break;
            ssize_t r = recv(sock, got, sizeof got, 0);
            if (r > 0) net_rdv_decode(got, static_cast<size_t>(r), &m);
        }
        EXPECT_EQ(m.type, NET_RDV_ERROR);
        EXPECT_EQ(m.reason, NET_RDV_ERR_STOPPING);
        close(sock);
    }
}

// ENet reads a datagram into 4 KiB: a longer one must still reach the rooms' count, not vanish.
TEST(ServerProcess, CountsDatagramsLongerThanAnythingRelayedAsOversized) {
    Server s = start("oversized");
    ASSERT_GT(s.pid, 0);
    int a = udp_socket();
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(s.port);
    static uint8_t junk[9000];
    for (size_t size : {1501, 4096, 5000, 9000}) sendto(a, junk, size, 0, reinterpret_cast<sockaddr *>(&to), sizeof to);
    close(a);
    std::string out;
    for (int i = 0; i < 50 && out.find("oversized=4") == std::string::npos; i++) {
        kill(s.pid, SIGUSR1);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        out = read_text(s.out);
    }
    EXPECT_NE(out.find(",oversized=4,"), std::string::npos) << out;
    kill(s.pid, SIGTERM);
    waitpid(s.pid, nullptr, 0);
}

// A port it cannot have: the message names the cause, not a guess.
TEST(ServerProcess, SaysWhyItCannotListen) {
    int held = udp_socket();
    struct Case {
        std::string args, cause;
    } cases[] = {
        {"--bind 127.0.0.1 --ws-port 0 --port " + std::to_string(port_of(held)), "another program uses that port"},
        {"--bind 192.0.2.1 --ws-port 0", "that address is not on this machine"},
    };
    for (const Case &c : cases) {
        std::string err = std::string(QUORVANE_BINARY_DIR) + "/server-listen.err";
        int status = std::system(("'" + SERVER + "' " + c.args + " >/dev/null 2>'" + err + "'").c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << c.args;
        EXPECT_NE(read_text(err).find("cannot listen on UDP"), std::string::npos) << c.args;
        EXPECT_NE(read_text(err).find(c.cause), std::string::npos) << read_text(err);
    }
    close(held);
}

TEST(ServerProcess, ABadCommandLineExitsWith2) {
    for (const char *args : {"--port 0", "--port x", "--bind nowhere", "--max-rooms 0", "--frobnicate"}) {
        std::string cmd = "'" + SERVER + "' " + args + " >/dev/null 2>&1";
        int status = std::system(cmd.c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << args;
    }
}

} // namespace
