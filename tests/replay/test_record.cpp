// Recording a game played on the headless keyboard, and writing the file safely: whole when
// the game ends in any way it sees, up to its last flush when it dies.
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <tuple>

#include "game/game_internal.h"
#include "input/input.h"
#include "tests/replay/replay_fixture.h"

namespace {

using rt::fs::path;

std::vector<path> files_in(const path &dir) {
    std::vector<path> out;
    for (const auto &e : rt::fs::directory_iterator(dir)) out.push_back(e.path().filename());
    std::sort(out.begin(), out.end());
    return out;
}

// What the .part held each time it grew, seen from outside the recorder: its size, and the
// frames played and the game's state then.
struct Flush {
    uintmax_t size;
    uint32_t frames;
    uint64_t hash;
};
std::vector<Flush> flushes;
std::string watched_part;

void watch_part(int32_t kind, int32_t, uint32_t) {
    struct stat st;
    if (kind != STRM_EVENT_FRAME || stat(watched_part.c_str(), &st) != 0) return;
    if (flushes.empty() || uintmax_t(st.st_size) != flushes.back().size)
        flushes.push_back(Flush{uintmax_t(st.st_size), strm_frame_count(), game_state_hash()});
}

// Starts recording to target with the .part watched (after strm_reset, before game_init).
void record_watched(const path &target) {
    char error[RPL_ERROR_MAX] = "";
    ASSERT_EQ(rpl_record_start(target.c_str(), error, sizeof error), 1) << error;
    flushes.clear();
    watched_part = target.string() + ".part";
    strm_add_tap(watch_part);
}

class RecordTest : public rt::ReplayTest {
protected:
    // The game's message loop with the recorder, keys from the headless keyboard: key_at(frame)
    // gives the key held in that frame (0 none); close_at posts a close request before that frame.
    // crash_at: the game stops dead before that frame, the recording never finished.
    // signal_at: a signal ends the loop before that frame, as the program's handler does.
    RplResult play_recorded(const path &target, int32_t (*key_at)(uint32_t), uint32_t close_at = UINT32_MAX,
                            uint32_t crash_at = 5000, uint32_t signal_at = UINT32_MAX, int signal_number = 0) {
        plat_headless_reset();
        EXPECT_EQ(plat_init(), 1);
        EXPECT_EQ(plat_window_open("Quorvane", 640, 480, 1), 1);
        plat_headless_set_blind(1);
        plat_headless_set_ticks(5000);
        strm_reset();
        rpl_fresh_game();
        char error[RPL_ERROR_MAX] = "";
        record_watched(target);
        game_init();
        int32_t held = 0;
        for (uint32_t pass = 0; pass < 5000 && strm_frame_count() < crash_at; pass++) {
            if (strm_frame_count() == signal_at) {
                rpl_record_signal(signal_number);
                break;
            }
            if (strm_frame_count() == close_at) plat_message_post(PLAT_MSG_DESTROY, 0, 0);
            PlatMessage msg{};
            if (plat_message_peek(&msg)) {
                if (msg.type == PLAT_MSG_QUIT) break;
                rpl_record_message(&msg);
                game_window_proc(&msg);
            }
            int32_t key = key_at(strm_frame_count());
            if (held && held != key) plat_headless_set_key(held, 0);
            if (key) plat_headless_set_key(key, 1);
            held = key;
            game_frame();
        }
        RplResult result = rpl_result_now();
        // Until the end the target does not exist; only the temporary file does.
        EXPECT_FALSE(rt::fs::exists(target));
        if (crash_at == 5000) {
            EXPECT_EQ(rpl_record_finish(error, sizeof error), 1) << error;
        }
        game_shutdown();
        plat_shutdown();
        plat_headless_reset();
        return result;
    }
    // rec replays in the simulator's way to the same end as played.
    void expect_replays_as(const RplRecording &rec, const RplResult &played) {
        RplResult replayed{};
        std::string why;
        EXPECT_EQ(play_here(rec, dir, 1, &replayed, &why), 0) << why;
        EXPECT_EQ(replayed.frames, played.frames);
        EXPECT_EQ(replayed.hash, played.hash);
    }
};

// Down twice on the title menu, to QUIT, and Return.
int32_t menu_keys(uint32_t frame) {
    if (frame == 10 || frame == 12) return DIK_DOWN;
    if (frame == 20) return DIK_RETURN;
    return 0;
}

TEST_F(RecordTest, TheFileHoldsTheSeedsAndKeysTheGameUsed) {
    path target = dir / "menu.qvr";
    RplResult played = play_recorded(target, menu_keys);
    EXPECT_EQ(files_in(dir), std::vector<path>{"menu.qvr"}) << "the temporary file is gone";

    RplRecording rec = rt::load(target);
    // The start-up seed came from the clock before the first frame.
    ASSERT_EQ(rec.seeds.size(), 1u);
    EXPECT_EQ(rec.seeds[0].frame, 0u);
    EXPECT_GE(rec.seeds[0].value, 5000u);
    // Frames: 10 idle, Down, idle, Down, 7 idle, Return on QUIT, and the frame after the quit.
    std::vector<std::tuple<int, uint32_t, int>> runs; // keys, frames, seat
    for (const RplRun &r : rec.runs) runs.push_back({r.keys, r.count, r.seat});
    const int M = STRM_SEAT_MENUS, DOWN = STRM_KEY_DOWN;
    EXPECT_EQ(runs,
              (std::vector<std::tuple<int, uint32_t, int>>{
                  {0, 10, M}, {DOWN, 1, M}, {0, 1, M}, {DOWN, 1, M}, {0, 7, M}, {STRM_KEY_RETURN, 1, M}, {0, 1, M}}));
    EXPECT_EQ(std::make_pair(rec.result.frames, rec.result.hash), std::make_pair(played.frames, played.hash));
    EXPECT_EQ(rec.close_frame, RPL_NO_CLOSE);

    expect_replays_as(rec, played);
}

int32_t no_keys(uint32_t) { return 0; }

TEST_F(RecordTest, AClosedWindowIsRecordedWhereItCame) {
    path target = dir / "closed.qvr";
    RplResult played = play_recorded(target, no_keys, 25);
    RplRecording rec = rt::load(target);
    EXPECT_EQ(rec.close_frame, 25u);
    EXPECT_EQ(rec.result.frames, 26u) << "one frame is played after the close request";
    expect_replays_as(rec, played);
    EXPECT_EQ(quit_requested, 1) << "the replay closes as the recording did";
}

// A crash leaves nothing under the target, and the match up to its last flush in target.part:
// flushed at least every ten seconds of play, read as cut short, replayed to that frame's state.
TEST_F(RecordTest, ACrashLeavesTheMatchSoFarInThePart) {
    path target = dir / "crash.qvr";
    play_recorded(target, no_keys, UINT32_MAX, 700);
    EXPECT_EQ(files_in(dir), std::vector<path>{"crash.qvr.part"});
    // A frame is 33 ms of the headless clock: ten seconds are at most 304 frames.
    ASSERT_FALSE(flushes.empty());
    uint32_t before = 0;
    for (const Flush &f : flushes) {
        EXPECT_LE(f.frames - before, 304u) << "a flush at frame " << f.frames << " after " << before;
        before = f.frames;
    }
    EXPECT_LE(700 - before, 304u);
    RplRecording rec = rt::load(dir / "crash.qvr.part");
    EXPECT_EQ(rec.cut_short, 1);
    EXPECT_EQ(rec.result.frames, flushes.back().frames);
    RplResult replayed{};
    std::string why;
    EXPECT_EQ(play_here(rec, dir, 1, &replayed, &why), 0) << why;
    EXPECT_EQ(replayed.frames, flushes.back().frames);
    EXPECT_EQ(replayed.hash, flushes.back().hash);
    // The .part is kept: a new recording to the same name does not write over it.
    std::vector<uint8_t> kept = rt::read_bytes(dir / "crash.qvr.part");
    char error[RPL_ERROR_MAX] = "";
    strm_reset();
    EXPECT_EQ(rpl_record_start(target.c_str(), error, sizeof error), 0);
    EXPECT_NE(std::strstr(error, "crash.qvr.part is in the way"), nullptr) << error;
    EXPECT_EQ(rt::read_bytes(dir / "crash.qvr.part"), kept);
    EXPECT_EQ(files_in(dir), std::vector<path>{"crash.qvr.part"});
}

// START GAME, player 1 turns the turret and fires, then waits.
int32_t match_keys(uint32_t frame) {
    if (frame == 10) return DIK_RETURN;
    if (frame >= 40 && frame < 55) return DIK_UP;
    if (frame == 80) return DIK_RETURN;
    return 0;
}
int32_t escape_in_match(uint32_t frame) { return frame == 150 ? DIK_ESCAPE : match_keys(frame); }
int32_t escape_on_menu(uint32_t frame) { return frame == 30 ? DIK_ESCAPE : 0; }

// However the game ends, short of dying, the target is a whole recording saying how it ended
// and whether a match was under way, and both replays play it to its end, exit 0 and say so.
TEST_F(RecordTest, EveryEndingLeavesAWholeRecordingThatSaysHow) {
    struct Case {
        const char *name;
        int32_t (*keys)(uint32_t);
        uint32_t close_at, signal_at;
        int signal_number;
        int32_t ending, under_way;
        const char *note;
    };
    const uint32_t N = UINT32_MAX;
    const Case cases[] = {
        {"sigterm", match_keys, N, 150, SIGTERM, RPL_ENDING_SIGTERM, 1, "ended by SIGTERM"},
        {"sigint", match_keys, N, 150, SIGINT, RPL_ENDING_SIGINT, 1, "ended by SIGINT"},
        {"sighup", match_keys, N, 150, SIGHUP, RPL_ENDING_SIGHUP, 1, "ended by SIGHUP"},
        {"escape", escape_in_match, N, N, 0, RPL_ENDING_ESCAPE, 1, "ended by Escape"},
        {"close", match_keys, 150, N, 0, RPL_ENDING_CLOSE, 1, "ended by closing the window"},
        {"menu-quit", menu_keys, N, N, 0, RPL_ENDING_QUIT, 0, nullptr},
        {"menu-escape", escape_on_menu, N, N, 0, RPL_ENDING_ESCAPE, 0, nullptr},
        {"menu-sigterm", no_keys, N, 40, SIGTERM, RPL_ENDING_SIGTERM, 0, nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        path target = dir / (std::string(c.name) + ".qvr");
        RplResult played = play_recorded(target, c.keys, c.close_at, 5000, c.signal_at, c.signal_number);
        EXPECT_FALSE(rt::fs::exists(target.string() + ".part"));
        RplRecording rec = rt::load(target);
        EXPECT_EQ(rec.cut_short, 0);
        EXPECT_EQ(rec.ending, c.ending);
        EXPECT_EQ(rec.under_way, c.under_way);
        EXPECT_EQ(std::make_pair(rec.result.frames, rec.result.hash), std::make_pair(played.frames, played.hash));
        EXPECT_GE(played.frames, c.under_way ? 150u : 21u);

        rt::Run r = rt::run("'" + rt::binary("quorvane-sim").string() + "' --replay '" + target.string() + "'", dir);
        EXPECT_EQ(r.code, 0) << r.err;
        char line[128];
        rpl_format_result(&played, line, sizeof line);
        EXPECT_EQ(rt::last_line(r.out), line);
        if (c.note)
            EXPECT_EQ(r.err, std::string("quorvane-sim: the recording ends in an unfinished match, ") + c.note);
        else
            EXPECT_EQ(r.err, "");
        rt::fs::remove(target);
    }
}

// Each frame's keys and seat, one entry a frame.
std::vector<uint32_t> frames_of(const RplRecording &rec) {
    std::vector<uint32_t> out;
    for (const RplRun &r : rec.runs) out.insert(out.end(), r.count, r.keys | (uint32_t(r.seat) << 8));
    return out;
}

// A real match (best of 3, three rounds) recorded again as it replays, cut at every byte as a
// death in the middle of a write would leave it: each cut is read up to the last flush before
// it, exactly as played, or refused when no flush came before it; a changed bit in it is
// refused or read as a shorter, still true match, never as another.
TEST_F(RecordTest, EveryCutOfARecordingIsReadToItsLastFlush) {
    RplRecording source = rt::load(rt::corpus_dir() / "bo3-p1-wins.qvr");
    path target = dir / "again.qvr";
    plat_headless_reset();
    ASSERT_EQ(plat_init(), 1);
    ASSERT_EQ(plat_window_open("Quorvane", 640, 480, 1), 1);
    plat_headless_set_blind(1);
    strm_reset();
    record_watched(target);
    RplResult played{};
    char error[RPL_ERROR_MAX] = "";
    ASSERT_EQ(rpl_play(&source, &played, error, sizeof error), 0) << error;
    ASSERT_EQ(rpl_record_finish(error, sizeof error), 1) << error;
    game_shutdown();
    plat_shutdown();
    plat_headless_reset();
    std::vector<uint8_t> whole = rt::read_bytes(target);
    // Rounds start and end: more flushes than the ten-second ones alone.
    ASSERT_GE(flushes.size(), 7u);
    EXPECT_EQ(std::make_pair(played.frames, played.hash), std::make_pair(source.result.frames, source.result.hash));

    RplRecording full;
    ASSERT_EQ(rpl_parse(whole.data(), whole.size(), "F", &full, error, sizeof error), 1) << error;
    EXPECT_EQ(frames_of(full), frames_of(source));
    std::vector<uint32_t> all = frames_of(full);
    std::vector<uint32_t> replayed_frames;
    for (size_t n = 0; n <= whole.size(); n++) {
        SCOPED_TRACE("cut at " + std::to_string(n));
        const Flush *last = nullptr;
        for (const Flush &f : flushes)
            if (f.size <= n) last = &f;
        RplRecording cut;
        int32_t ok = rpl_parse_part(whole.data(), n, "F.part", &cut, error, sizeof error);
        if (!last) {
            EXPECT_EQ(ok, 0);
            continue;
        }
        ASSERT_EQ(ok, 1) << error;
        uint32_t want = n == whole.size() ? played.frames : last->frames;
        EXPECT_EQ(cut.cut_short, n == whole.size() ? 0 : 1);
        EXPECT_EQ(rpl_frame_total(&cut), want);
        EXPECT_EQ(frames_of(cut), std::vector<uint32_t>(all.begin(), all.begin() + want));
        size_t seeds = 0;
        while (seeds < source.seeds.size() && source.seeds[seeds].frame < want) seeds++;
        ASSERT_EQ(cut.seeds.size(), seeds);
        for (size_t i = 0; i < seeds; i++) EXPECT_EQ(cut.seeds[i].value, source.seeds[i].value);
        // Each flush's cut replays to the state the game was in when it was written.
        if (n == last->size) {
            RplResult r{};
            std::string why;
            EXPECT_EQ(play_here(cut, dir, 1, &r, &why), 0) << why;
            EXPECT_EQ(std::make_pair(r.frames, r.hash), std::make_pair(last->frames, last->hash));
            replayed_frames.push_back(r.frames);
        }
    }
    EXPECT_EQ(replayed_frames.size(), flushes.size());

    // The same bytes under a name without .part, or with a bit changed, are not a match cut short.
    for (size_t n = 0; n < whole.size(); n++)
        EXPECT_EQ(rpl_parse(whole.data(), n, "F", &full, error, sizeof error), 0) << "cut at " << n;
    std::vector<uint8_t> part(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(flushes.back().size));
    for (size_t i = 0; i < whole.size(); i++) {
        for (int bit = 0; bit < 8; bit++) {
            std::vector<uint8_t> flipped = whole;
            flipped[i] ^= static_cast<uint8_t>(1 << bit);
            EXPECT_EQ(rpl_parse(flipped.data(), flipped.size(), "F", &full, error, sizeof error), 0)
                << "byte " << i << " bit " << bit;
            if (i >= part.size()) continue;
            flipped.resize(part.size());
            RplRecording cut;
            if (!rpl_parse_part(flipped.data(), flipped.size(), "F.part", &cut, error, sizeof error)) continue;
            std::vector<uint32_t> got = frames_of(cut);
            ASSERT_LE(got.size(), all.size());
            EXPECT_EQ(got, std::vector<uint32_t>(all.begin(), all.begin() + got.size()))
                << "byte " << i << " bit " << bit;
        }
    }
}

// A disk that fills up in the middle of a match: the end says so, and what was flushed before
// stays in the .part, read up to its last whole checkpoint (the torn write after it dropped).
TEST_F(RecordTest, AFullDiskKeepsWhatWasFlushed) {
    path target = dir / "full.qvr";
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 100;
    auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    play_recorded(target, match_keys, UINT32_MAX, 1000);
    char error[RPL_ERROR_MAX] = "";
    int32_t finished = rpl_record_finish(error, sizeof error);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, old_handler);
    EXPECT_EQ(finished, 0);
    EXPECT_NE(std::strstr(error, "full.qvr.part: File too large"), nullptr) << error;
    EXPECT_EQ(files_in(dir), std::vector<path>{"full.qvr.part"});
    EXPECT_EQ(rt::fs::file_size(dir / "full.qvr.part"), 100u);
    uint32_t last = 0;
    for (const Flush &f : flushes)
        if (f.size < 100) last = f.frames;
    ASSERT_GT(last, 1u) << "a flush after the first frame's fits";
    RplRecording rec = rt::load(dir / "full.qvr.part");
    EXPECT_EQ(rec.cut_short, 1);
    EXPECT_EQ(rec.result.frames, last);
}

// The old file stays until the new one is whole; an unwritable place is refused at the start.
TEST_F(RecordTest, StartingIsSafe) {
    path target = dir / "keep.qvr";
    rt::write_bytes(target, {'o', 'l', 'd'});
    char error[RPL_ERROR_MAX] = "";
    strm_reset();
    ASSERT_EQ(rpl_record_start(target.c_str(), error, sizeof error), 1) << error;
    EXPECT_EQ(rt::read_text(target), "old");
    EXPECT_EQ(files_in(dir), (std::vector<path>{"keep.qvr", "keep.qvr.part"}));
    rpl_record_abandon();
    EXPECT_EQ(files_in(dir), std::vector<path>{"keep.qvr"});
    EXPECT_EQ(rt::read_text(target), "old");

    path nowhere = dir / "no-such-folder" / "x.qvr";
    EXPECT_EQ(rpl_record_start(nowhere.c_str(), error, sizeof error), 0);
    EXPECT_NE(std::strstr(error, nowhere.c_str()), nullptr) << error;
    EXPECT_NE(std::strstr(error, "No such file or directory"), nullptr) << error;
    EXPECT_EQ(rpl_recording(), 0);
    // A folder where the file should go would only fail at the rename, after the match.
    EXPECT_EQ(rpl_record_start(dir.c_str(), error, sizeof error), 0);
    EXPECT_NE(std::strstr(error, "Is a directory"), nullptr) << error;
    EXPECT_EQ(files_in(dir), std::vector<path>{"keep.qvr"});
}

} // namespace
