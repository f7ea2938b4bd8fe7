// The regression recordings in the simulator (those the real binary recorded show that drawing
// changes nothing), replays that go another way, and both programs refusing bad files.
#include <algorithm>
#include <cstring>
#include <sys/stat.h>

#include "tests/replay/replay_fixture.h"

namespace {

using rt::fs::path;

std::vector<path> corpus() {
    std::vector<path> out;
    for (const auto &e : rt::fs::directory_iterator(rt::corpus_dir()))
        if (e.path().extension() == ".qvr") out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
}

using CorpusTest = rt::ReplayTest;

TEST_F(CorpusTest, EachRecordingGivesItsResultLineInTheSimulator) {
    std::vector<path> files = corpus();
    ASSERT_GE(files.size(), 12u);
    for (const path &f : files) {
        path expected = path(f).replace_extension(".result");
        ASSERT_TRUE(rt::fs::exists(expected)) << expected;
        // In an empty folder: the simulator needs no pictures or sounds.
        rt::Run r = rt::run("'" + rt::binary("quorvane-sim").string() + "' --replay '" + f.string() + "'", dir);
        EXPECT_EQ(r.code, 0) << f << ": " << r.err;
        EXPECT_EQ(r.err, "") << f;
        EXPECT_EQ(rt::last_line(r.out), rt::read_text(expected)) << f;
        EXPECT_LT(rt::fs::file_size(f), 4096u) << f << ": a recording stays compact";
    }
}

// Replays that go another way end with status 3, a live Escape with 1; each says why.
TEST_F(CorpusTest, AReplayThatGoesAnotherWayOrIsStoppedIsReported) {
    RplRecording rec = rt::load(rt::corpus_dir() / "bo1-p1-wins.qvr");
    struct Case {
        const char *what;
        void (*spoil)(RplRecording *);
        int32_t escape, outcome;
        const char *reason;
    };
    const Case cases[] = {
        // Another round layout: the same keys no longer hit.
        {"another seed", [](RplRecording *r) { r->seeds.back().value ^= 0x5555; }, 0, 3, "ended otherwise"},
        // The round's seed arriving a frame late.
        {"a seed out of place", [](RplRecording *r) { r->seeds.back().frame += 1; }, 0, 3, "another way"},
        // The play screen's first frame recorded for the menus.
        {"a frame of the wrong seat",
         [](RplRecording *r) {
             for (RplRun &run : r->runs)
                 if (run.seat == STRM_SEAT_PLAYER1) {
                     run.seat = STRM_SEAT_MENUS;
                     break;
                 }
         },
         0, 3, "another way"},
        // Escape held from the start: the first frame quits, the rest is not played.
        {"a live Escape", [](RplRecording *) {}, 1, 1, "stopped at frame"},
    };
    for (const Case &c : cases) {
        RplRecording spoilt = rec;
        c.spoil(&spoilt);
        RplResult r{};
        std::string why;
        EXPECT_EQ(play_here(spoilt, dir, 1, &r, &why, c.escape), c.outcome) << c.what;
        EXPECT_NE(why.find(c.reason), std::string::npos) << c.what << ": " << why;
        EXPECT_TRUE(!c.escape || r.frames < rpl_frame_total(&rec)) << "the rest is not played";
    }
}

// Both programs refuse a file that is not a whole recording with one line and exit code 2; a FIFO
// (which would wait for a writer for ever) at once.
TEST_F(CorpusTest, BadFilesAreRefusedByBothPrograms) {
    std::vector<uint8_t> good = rt::read_bytes(rt::corpus_dir() / "bo3-p2-wins.qvr");
    std::vector<uint8_t> cut(good.begin(), good.end() - 10), flipped = good;
    flipped[good.size() / 2] ^= 0x10;
    rt::write_bytes(dir / "cut.qvr", cut);
    rt::write_bytes(dir / "flipped.qvr", flipped);
    rt::write_bytes(dir / "foreign.qvr", {'M', 'T', 'h', 'd', 0, 0, 0, 6});
    ASSERT_EQ(mkfifo((dir / "fifo.qvr").c_str(), 0600), 0);
    struct Case {
        const char *file, *reason;
    };
    const Case cases[] = {{"cut.qvr", "truncated"},
                          {"flipped.qvr", "damaged"},
                          {"foreign.qvr", "not a Quorvane recording"},
                          {"missing.qvr", "No such file or directory"},
                          {"fifo.qvr", "not a regular file"}};
    for (const char *program : {"quorvane-sim", "quorvane"}) {
        for (const Case &c : cases) {
            rt::Run r = rt::run("SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy timeout 20 '" +
                                    rt::binary(program).string() + "' --replay " + c.file,
                                dir);
            EXPECT_EQ(r.code, 2) << program << " " << c.file;
            EXPECT_EQ(r.out, "") << program << " " << c.file;
            EXPECT_EQ(r.err.find('\n'), std::string::npos) << program << " " << c.file << ": one line: " << r.err;
            EXPECT_EQ(r.err.rfind(std::string(program) + ": ", 0), 0u) << r.err;
            EXPECT_NE(r.err.find(c.reason), std::string::npos) << program << " " << c.file << ": " << r.err;
        }
    }
    rt::Run r = rt::run("'" + rt::binary("quorvane").string() + "' --record nowhere/x.qvr", dir);
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("nowhere/x.qvr"), std::string::npos) << r.err;
}

} // namespace
