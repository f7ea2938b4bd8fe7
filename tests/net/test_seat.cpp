// A seat kept across a crash: a new game finds the session of a seat whose game died on this
// machine, never one a living game holds, nor one whose match ended.
#include <gtest/gtest.h>

#include <cstdlib>
#include <dirent.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "net/net_seat.h"

namespace {

constexpr uint32_t CODE = 0x2345678;

struct Seat : ::testing::Test {
    char dir[64] = "/tmp/quorvane-seat-XXXXXX";
    void SetUp() override {
        ASSERT_NE(mkdtemp(dir), nullptr);
        setenv("XDG_RUNTIME_DIR", dir, 1);
    }
    void TearDown() override {
        net_seat_forget();
        std::string rm = std::string("rm -rf ") + dir;
        ASSERT_EQ(std::system(rm.c_str()), 0);
    }
    int32_t files() {
        int32_t n = 0;
        DIR *d = opendir(dir);
        while (dirent *e = readdir(d)) n += e->d_name[0] != '.';
        closedir(d);
        return n;
    }
};

// Another game on this machine: it takes seat and session, then lives until *gate closes (or
// dies at once when gate is null), never saying goodbye.
pid_t other_game(int32_t seat, uint64_t session, int *gate) {
    int fds[2];
    if (gate && pipe(fds) != 0) return -1;
    pid_t pid = fork();
    if (pid == 0) {
        net_seat_keep(CODE, seat, session);
        if (gate) {
            close(fds[1]);
            char c;
            while (read(fds[0], &c, 1) > 0) {
            }
        }
        _exit(0);
    }
    if (gate) {
        close(fds[0]);
        *gate = fds[1];
    }
    return pid;
}

void end(pid_t pid, int gate) {
    if (gate >= 0) close(gate);
    int st;
    waitpid(pid, &st, 0);
}

TEST_F(Seat, ASeatIsReclaimedOnlyOnceItsGameHasDied) {
    int gate = -1;
    pid_t pid = other_game(1, 0xABCDEF0123456789ull, &gate);
    ASSERT_GT(pid, 0);
    for (int i = 0; i < 500 && files() == 0; i++) usleep(10000);
    ASSERT_EQ(files(), 1);
    EXPECT_EQ(net_seat_reclaim(CODE), 0u) << "the game holding the seat still lives";
    end(pid, gate);
    EXPECT_EQ(net_seat_reclaim(CODE), 0xABCDEF0123456789ull);
    EXPECT_EQ(net_seat_reclaim(CODE + 1), 0u) << "another room's code";
}

TEST_F(Seat, AMatchOverLeavesNoSeatToReclaim) {
    net_seat_keep(CODE, 0, 42);
    EXPECT_EQ(files(), 1);
    net_seat_forget();
    EXPECT_EQ(files(), 0);
    EXPECT_EQ(net_seat_reclaim(CODE), 0u);
}

TEST_F(Seat, BothPlayersOnOneMachineEachKeepTheirSeat) {
    // The maker lives on while the joiner's game dies: a new game gets the joiner's seat.
    int gate = -1;
    pid_t maker = other_game(0, 7, &gate);
    for (int i = 0; i < 500 && files() == 0; i++) usleep(10000);
    end(other_game(1, 9, nullptr), -1);
    EXPECT_EQ(files(), 2);
    EXPECT_EQ(net_seat_reclaim(CODE), 9u);
    end(maker, gate);
}

TEST_F(Seat, NothingIsKeptWithoutARuntimeDirectoryNorTakenFromAJunkFile) {
    unsetenv("XDG_RUNTIME_DIR");
    net_seat_keep(CODE, 0, 42);
    EXPECT_EQ(net_seat_reclaim(CODE), 0u);
    setenv("XDG_RUNTIME_DIR", dir, 1);
    EXPECT_EQ(files(), 0);
    // A died game's file, overwritten with junk.
    end(other_game(1, 9, nullptr), -1);
    DIR *d = opendir(dir);
    dirent *e;
    while ((e = readdir(d)) && e->d_name[0] == '.') {
    }
    ASSERT_NE(e, nullptr);
    std::string path = std::string(dir) + "/" + e->d_name;
    closedir(d);
    FILE *f = std::fopen(path.c_str(), "w");
    std::fputs("session zz\n", f);
    std::fclose(f);
    EXPECT_EQ(net_seat_reclaim(CODE), 0u);
}

} // namespace
