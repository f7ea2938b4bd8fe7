// quorvane-sim --computer both: a result line a match, then the summary; match m is the run
// with seed S+m.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <vector>

#include "tests/replay/proc.h"

namespace {

std::vector<std::string> sim_lines(const std::string &args) {
    rt::Run r = rt::run(std::string(QUORVANE_BINARY_DIR) + "/quorvane-sim " + args, QUORVANE_BINARY_DIR);
    EXPECT_EQ(r.code, 0) << args << ": " << r.err;
    std::vector<std::string> lines;
    std::istringstream in(r.out);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST(SimMatches, OneResultLineAMatchThenTheSummaryAndMatchMIsSeedSPlusM) {
    auto lines = sim_lines("--computer both --level1 easy --level2 hard --matches 2 --seed 5");
    auto alone = sim_lines("--computer both --level1 easy --level2 hard --matches 1 --seed 6");
    ASSERT_EQ(lines.size(), 3u);
    ASSERT_EQ(alone.size(), 2u);
    EXPECT_EQ(lines[1], alone[0]);
    EXPECT_NE(lines[0], lines[1]);
    const std::regex result(
        "result: player1 ([0-3]) player2 ([0-3]) frames [1-9][0-9]* shots [1-9][0-9]* hash [0-9a-f]{16}");
    int32_t wins[2] = {0, 0};
    for (int32_t m = 0; m < 2; m++) {
        std::smatch got;
        ASSERT_TRUE(std::regex_match(lines[m], got, result)) << lines[m];
        int32_t s1 = std::stoi(got[1]), s2 = std::stoi(got[2]);
        EXPECT_TRUE((s1 == 3) != (s2 == 3)) << "best of 5: one player has 3";
        wins[s2 == 3]++;
    }
    EXPECT_EQ(wins[1], 2) << "hard on the right beats easy on the left";
    std::smatch got;
    ASSERT_TRUE(std::regex_match(lines[2], got,
                                 std::regex("summary: matches 2 player1 ([0-9]+) player2 ([0-9]+) shots-per-hit "
                                            "median ([1-9][0-9]*) p90 ([1-9][0-9]*)")))
        << lines[2];
    EXPECT_EQ(std::stoi(got[1]), wins[0]);
    EXPECT_EQ(std::stoi(got[2]), wins[1]);
    EXPECT_LE(std::stoi(got[3]), std::stoi(got[4]));
}

// The matches a seed gives are part of what the simulator promises (tournaments are compared
// across versions): a change in how often a wait reads the clock moves every seed, so the lines
// of two matches made before are kept here.
TEST(SimMatches, ASeedGivesTheMatchesItAlwaysGave) {
    auto lines = sim_lines("--computer both --level easy --matches 2 --seed 1");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "result: player1 3 player2 2 frames 12652 shots 65 hash 767fc7d8a7aa69f3");
    EXPECT_EQ(lines[1], "result: player1 3 player2 0 frames 8588 shots 45 hash 5311efe4fc772149");
}

} // namespace
