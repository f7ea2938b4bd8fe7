// Replaying: every seat and every seed come from the recording, in the order the game used
// them; asking for anything else means the game went another way, and the replay stops.
#include <cinttypes>
#include <cstdio>

#include "game/game.h"
#include "game/game_internal.h"
#include "platform/plat_system.h"
#include "replay/replay.h"
#include "stream/stream.h"

namespace {

const RplRecording *rec = nullptr;
uint32_t total = 0;
size_t run_index = 0;
uint32_t run_used = 0;
size_t seed_index = 0;
uint8_t served_keys = 0;
int32_t close_done = 0;
int64_t diverged_at = -1;
int32_t complete = 0;
int32_t viewer_quit = 0; // the live Escape or the window's close button

void diverge(void) {
    if (diverged_at < 0) diverged_at = strm_frame_count();
}

int32_t recorded_keys(int32_t seat, uint8_t *keys) {
    *keys = 0;
    if (!rec || diverged_at >= 0) return 0;
    if (run_index >= rec->runs.size()) {
        diverge();
        return 0;
    }
    const RplRun &run = rec->runs[run_index];
    if (run.seat != seat) {
        diverge();
        return 0;
    }
    *keys = run.keys;
    served_keys = run.keys;
    if (++run_used == run.count) {
        run_index++;
        run_used = 0;
    }
    return 1;
}

int32_t recorded_seed(uint32_t, uint32_t *seed) {
    // Whatever happens, never the live clock: a replay that went wrong stays repeatable.
    *seed = 0;
    if (!rec || diverged_at >= 0) return 1;
    if (seed_index >= rec->seeds.size() || rec->seeds[seed_index].frame != strm_frame_count()) {
        diverge();
        return 1;
    }
    *seed = rec->seeds[seed_index++].value;
    return 1;
}

void watch(int32_t kind, int32_t, uint32_t value) {
    // An Escape the recording does not have is the viewer's own.
    if (rec && kind == STRM_EVENT_FRAME && (value & STRM_KEY_ESCAPE) && !(served_keys & STRM_KEY_ESCAPE))
        viewer_quit = 1;
}

} // namespace

RplResult rpl_result_now(void) {
    RplResult r{};
    r.score1 = static_cast<uint32_t>(score[0]);
    r.score2 = static_cast<uint32_t>(score[1]);
    r.frames = strm_frame_count();
    r.seeds = strm_seed_count();
    r.shots = shots_fired;
    r.hash = game_state_hash();
    return r;
}

void rpl_format_result(const RplResult *r, char *out, size_t size) {
    std::snprintf(out, size,
                  "result: player1 %" PRIu32 " player2 %" PRIu32 " frames %" PRIu32 " shots %" PRIu32
                  " hash %016" PRIx64,
                  r->score1, r->score2, r->frames, r->shots, r->hash);
}

void rpl_replay_start(const RplRecording *recording) {
    rec = recording;
    total = rpl_frame_total(recording);
    run_index = 0;
    run_used = 0;
    seed_index = 0;
    served_keys = 0;
    close_done = 0;
    diverged_at = -1;
    complete = 0;
    viewer_quit = 0;
    for (int32_t seat = 0; seat < STRM_SEAT_COUNT; seat++) strm_set_seat(seat, recorded_keys);
    strm_set_seed_source(recorded_seed);
    strm_add_tap(watch);
}

int32_t rpl_replay_pass(void) {
    if (!rec || diverged_at >= 0 || complete) return 0;
    uint32_t played = strm_frame_count();
    // A seed the game did not ask for by now: it went another way.
    if (seed_index < rec->seeds.size() && rec->seeds[seed_index].frame < played) {
        diverge();
        return 0;
    }
    if (played >= total) {
        if (seed_index < rec->seeds.size()) {
            diverge();
            return 0;
        }
        complete = 1;
        return 0;
    }
    if (!close_done && rec->close_frame == played) {
        close_done = 1;
        PlatMessage destroy{PLAT_MSG_DESTROY, 0, 0};
        game_window_proc(&destroy);
        return 1;
    }
    PlatMessage msg{};
    if (plat_message_peek(&msg)) {
        // The game's own quit comes while recorded frames remain (the recording goes on to
        // the last frame it saw); only the viewer's ends the replay early.
        if (msg.type == PLAT_MSG_QUIT) return viewer_quit ? 0 : 1;
        if (msg.type == PLAT_MSG_DESTROY && !quit_requested) viewer_quit = 1;
        game_window_proc(&msg);
    }
    return 1;
}

int32_t rpl_replay_complete(void) { return complete; }
int64_t rpl_replay_diverged_at(void) { return diverged_at; }

void rpl_replay_stop(void) { rec = nullptr; }

void rpl_fresh_game(void) {
    menu_active = 1;
    options_active = story_active = 0;
    rounds_to_play = 5;
    current_player = 0;
    score[0] = score[1] = 0;
    ship1_destroyed = ship2_destroyed = player1_won = player2_won = 0;
    last_body_index = 0;
    angle[0] = 360;
    angle[1] = 180;
    power[0] = power[1] = 100;
    for (Particle &p : particles) p = Particle{};
    shot = Shot{};
}

int32_t rpl_play(const RplRecording *recording, RplResult *result, char *error, size_t error_size) {
    rpl_fresh_game();
    rpl_replay_start(recording);
    game_init();
    while (rpl_replay_pass()) game_frame();
    *result = rpl_result_now();
    int32_t outcome = 0;
    if (diverged_at >= 0) {
        std::snprintf(error, error_size,
                      "the replay went another way than the recording at frame %" PRId64
                      " (recorded by game version %s)",
                      diverged_at, recording->game_version);
        outcome = 3;
    } else if (!complete) {
        std::snprintf(error, error_size, "replay stopped at frame %" PRIu32 " of %" PRIu32, result->frames, total);
        outcome = 1;
    } else if (!recording->cut_short) {
        const RplResult &want = recording->result;
        if (want.score1 != result->score1 || want.score2 != result->score2 || want.shots != result->shots ||
            want.hash != result->hash) {
            char line[128];
            rpl_format_result(&want, line, sizeof line);
            std::snprintf(error, error_size,
                          "the replay ended otherwise than the recording (recorded %s, game version %s)", line,
                          recording->game_version);
            outcome = 3;
        }
    }
    // The end of the recording ends the game as the recording ended: a close request if the
    // game had not already asked to quit.
    if (!quit_requested) {
        PlatMessage destroy{PLAT_MSG_DESTROY, 0, 0};
        game_window_proc(&destroy);
    }
    rpl_replay_stop();
    return outcome;
}

int32_t rpl_play_to_end(const RplRecording *rec, char *line, size_t line_size, char *error, size_t error_size) {
    RplResult result{};
    if (error_size) error[0] = '\0';
    int32_t outcome = rpl_play(rec, &result, error, error_size);
    game_shutdown();
    plat_shutdown();
    rpl_format_result(&result, line, line_size);
    if (outcome == 0 && rec->cut_short)
        std::snprintf(error, error_size,
                      "the recording was cut short: played to its last saved frame, %" PRIu32 " (no result to check)",
                      result.frames);
    else if (outcome == 0 && rec->under_way)
        std::snprintf(error, error_size, "the recording ends in an unfinished match, ended by %s",
                      rpl_ending_name(rec->ending));
    return outcome;
}
