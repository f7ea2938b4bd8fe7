// Recording a game played on the headless keyboard, and writing the file safely.
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
    return out;
}

class RecordTest : public rt::ReplayTest {
protected:
    // The game's message loop with the recorder, keys from the headless keyboard: key_at(frame)
    // gives the key held in that frame (0 none); close_at posts a close request before that frame.
    // crash_at: the game stops dead before that frame, the recording never finished.
    RplResult play_recorded(const path &target, int32_t (*key_at)(uint32_t), uint32_t close_at = UINT32_MAX,
                            uint32_t crash_at = 5000) {
        plat_headless_reset();
        EXPECT_EQ(plat_init(), 1);
        EXPECT_EQ(plat_window_open("Quorvane", 640, 480, 1), 1);
        plat_headless_set_blind(1);
        plat_headless_set_ticks(5000);
        strm_reset();
        rpl_fresh_game();
        char error[RPL_ERROR_MAX] = "";
        EXPECT_EQ(rpl_record_start(target.c_str(), error, sizeof error), 1) << error;
        game_init();
        int32_t held = 0;
        for (uint32_t pass = 0; pass < 5000 && strm_frame_count() < crash_at; pass++) {
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

// A crash leaves nothing under the target, and the match up to its last ten-second checkpoint
// under the temporary name, as a whole recording.
TEST_F(RecordTest, ACrashLeavesTheMatchSoFarBesideTheTarget) {
    path target = dir / "crash.qvr";
    play_recorded(target, no_keys, UINT32_MAX, 700);
    std::vector<path> left = files_in(dir);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].string().rfind("crash.qvr.tmp-", 0), 0u) << left[0];
    RplRecording rec = rt::load(dir / left[0]);
    EXPECT_EQ(rec.result.frames, 600u);
    RplResult replayed{};
    std::string why;
    EXPECT_EQ(play_here(rec, dir, 1, &replayed, &why), 0) << why;
    rpl_record_abandon();
}

// The old file stays until the new one is whole; an unwritable place is refused at the start.
TEST_F(RecordTest, StartingIsSafe) {
    path target = dir / "keep.qvr";
    rt::write_bytes(target, {'o', 'l', 'd'});
    char error[RPL_ERROR_MAX] = "";
    strm_reset();
    ASSERT_EQ(rpl_record_start(target.c_str(), error, sizeof error), 1) << error;
    EXPECT_EQ(rt::read_text(target), "old");
    EXPECT_EQ(files_in(dir).size(), 2u);
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
