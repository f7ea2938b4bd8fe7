// The command line of both programs: what is refused (with the usage, status 2) and what the
// levels come to.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/options.h"

namespace {

struct Parsed {
    int32_t ok, code;
    std::string err;
    AppOptions o;
};

Parsed parse(int32_t program, std::vector<std::string> args) {
    args.insert(args.begin(), program == APP_PROGRAM_SIM ? "quorvane-sim" : "quorvane");
    std::vector<char *> argv;
    for (std::string &a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    Parsed p{};
    testing::internal::CaptureStderr();
    p.ok = app_parse_options(program, static_cast<int>(args.size()), argv.data(), &p.o, &p.code);
    p.err = testing::internal::GetCapturedStderr();
    return p;
}

TEST(Options, SlipsAreRefusedWithTheUsage) {
    struct Case {
        int32_t program;
        std::vector<std::string> args;
        const char *reason;
    };
    const Case cases[] = {
        {APP_PROGRAM_GAME, {"--level", "hard"}, "--level needs --computer"},
        {APP_PROGRAM_SIM, {"--level", "easy", "--matches", "3"}, "--level needs --computer"},
        {APP_PROGRAM_SIM,
         {"--computer", "2", "--level1", "hard", "--join", "127.0.0.1"},
         "--level1 needs --computer 1"},
        {APP_PROGRAM_SIM, {"--computer", "1", "--level2", "hard", "--host"}, "--level2 needs --computer 2"},
        {APP_PROGRAM_GAME, {"-w", "--window"}, "--window given twice"},
        {APP_PROGRAM_GAME, {"--record", "a.qvr", "--record", "b.qvr"}, "--record given twice"},
        {APP_PROGRAM_GAME, {"--computer", "1", "--computer", "2"}, "--computer given twice"},
        {APP_PROGRAM_GAME, {"--computer", "2", "--level=easy", "--level", "hard"}, "--level given twice"},
        {APP_PROGRAM_GAME, {"--host", "--host=5000"}, "--host given twice"},
        {APP_PROGRAM_GAME, {"--replay", "a.qvr", "--replay", "b.qvr"}, "--replay given twice"},
        {APP_PROGRAM_SIM, {"--computer", "both", "--seed", "1", "--seed", "2"}, "--seed given twice"},
        {APP_PROGRAM_SIM, {"-h", "--help"}, "--help given twice"},
        {APP_PROGRAM_SIM, {"--seed", "4294967296"}, "bad seed"},
        {APP_PROGRAM_SIM, {"--seed", "-18446744073709551615"}, "bad seed"}, // wrapped round, 1
        {APP_PROGRAM_SIM, {"--seed", "7x"}, "bad seed"},
    };
    for (const Case &c : cases) {
        std::string line;
        for (const std::string &a : c.args) line += a + " ";
        Parsed p = parse(c.program, c.args);
        EXPECT_EQ(p.ok, 0) << line;
        EXPECT_EQ(p.code, 2) << line;
        EXPECT_NE(p.err.find(c.reason), std::string::npos) << line << ": " << p.err;
        EXPECT_NE(p.err.find("Usage: quorvane"), std::string::npos) << line << ": " << p.err;
    }
}

TEST(Options, EachSideTakesItsOwnLevelOverTheCommonOne) {
    struct Case {
        std::vector<std::string> args;
        int32_t level1, level2;
    };
    const Case cases[] = {
        {{"--computer", "both"}, APP_LEVEL_NORMAL, APP_LEVEL_NORMAL},
        {{"--computer", "both", "--level", "easy"}, APP_LEVEL_EASY, APP_LEVEL_EASY},
        {{"--computer", "both", "--level", "easy", "--level2", "hard"}, APP_LEVEL_EASY, APP_LEVEL_HARD},
        {{"--computer", "both", "--level2", "hard", "--level", "easy"}, APP_LEVEL_EASY, APP_LEVEL_HARD},
        {{"--computer", "both", "--level1", "hard", "--level", "easy"}, APP_LEVEL_HARD, APP_LEVEL_EASY},
    };
    for (const Case &c : cases) {
        std::string line;
        for (const std::string &a : c.args) line += a + " ";
        Parsed p = parse(APP_PROGRAM_SIM, c.args);
        ASSERT_EQ(p.ok, 1) << line << ": " << p.err;
        EXPECT_EQ(p.o.level[0], c.level1) << line;
        EXPECT_EQ(p.o.level[1], c.level2) << line;
    }
    Parsed p = parse(APP_PROGRAM_GAME, {"--computer", "2", "--level", "hard", "-w"});
    ASSERT_EQ(p.ok, 1) << p.err;
    EXPECT_EQ(p.o.level[1], APP_LEVEL_HARD);
    EXPECT_EQ(p.o.windowed, 1);
}

TEST(Options, TheSeedTakesAllThirtyTwoBits) {
    Parsed p = parse(APP_PROGRAM_SIM, {"--computer", "both", "--seed", "4294967295"});
    ASSERT_EQ(p.ok, 1) << p.err;
    EXPECT_EQ(p.o.seed, 4294967295u);
}

} // namespace
