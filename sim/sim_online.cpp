// quorvane-sim --host / --join: one match against a peer, the computer playing this side.
#include <chrono>
#include <cstdio>

#include "ai/ai.h"
#include "game/game.h"
#include "game/game_internal.h"
#include "net/net.h"
#include "platform/plat_headless.h"
#include "platform/plat_system.h"
#include "replay/replay.h"
#include "sim/sim.h"
#include "stream/stream.h"

namespace {

constexpr uint32_t POLL_MS = 10; // a waiting host sleeps this long per frame
constexpr uint32_t JOIN_TIMEOUT_MS = 10000;
constexpr uint32_t MEET_TIMEOUT_MS = 20000; // a join by room code gives up by then, with the reason
constexpr double HOST_WAIT_S = 60.0;        // nobody joined: give up
constexpr uint32_t FRAME_LIMIT = 2000000;   // a match that never ends is a fault

// Back on the title menu with a winner's score: the match has been played to its end.
int32_t match_over(void) {
    int32_t needed = (rounds_to_play + rounds_to_play % 2) / 2;
    return game_current_screen() == GAME_SCREEN_MENU && (score[0] >= needed || score[1] >= needed);
}

int32_t clock_set;
uint32_t start_ticks;

// The host's side drives the menus: START GAME at once, Space on the win screen.
int32_t sim_keys(int32_t seat, uint8_t *keys) {
    *keys = 0;
    if (seat != STRM_SEAT_MENUS) return ai_keys(seat, keys);
    if (net_state() != NET_STATE_LINKED) return 1;
    // The clock starts from --seed when the match begins, however long the host waited, so a
    // seed gives the same match every time.
    if (!clock_set) {
        clock_set = 1;
        plat_headless_set_ticks(start_ticks);
        return 1;
    }
    int32_t screen = game_current_screen();
    if (screen == GAME_SCREEN_MENU && !match_over())
        *keys = STRM_KEY_RETURN;
    else if (screen == GAME_SCREEN_WIN)
        *keys = STRM_KEY_SPACE;
    return 1;
}

double seconds_since(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

void report_end(void) {
    std::fprintf(stderr, "quorvane-sim: %s\n", net_message());
    if (net_desync_path()[0])
        std::fprintf(stderr, "quorvane-sim: both input streams written to %s\n", net_desync_path());
}

// The match stands for a dropped link: said once on stderr.
int32_t told_held;
void held_hook(void) {
    if (told_held || !net_held_ms()) return;
    told_held = 1;
    std::fprintf(stderr, "quorvane-sim: %s\n", net_message());
}

int32_t finish(int32_t code) {
    net_close(code == 0 ? NET_BYE_DONE : 0);
    game_shutdown();
    plat_shutdown();
    return code;
}

} // namespace

int32_t sim_online(const AppOptions *options) {
    int32_t me = options->host || (options->online && !options->online_code[0]) ? 0 : 1;
    if ((options->computer[0] || options->computer[1]) && (!options->computer[me] || options->computer[1 - me])) {
        std::fprintf(stderr, "quorvane-sim: online the computer plays this side only: --computer %d\n", me + 1);
        return 2;
    }
    if (!plat_init() || !plat_window_open("Quorvane", 640, 480, 0)) {
        std::fprintf(stderr, "quorvane-sim: cannot start the headless platform: %s\n", plat_error());
        return 1;
    }
    start_ticks = options->seed_given ? options->seed : 0;
    clock_set = 0;
    strm_reset();
    ai_setup(me, options->level[me]);

    int32_t ok = options->online ? net_online(options->server_host, options->server_port, options->online_code,
                                              sim_keys, POLL_MS, MEET_TIMEOUT_MS)
                 : me == 0       ? net_host(options->port, sim_keys, POLL_MS)
                                 : net_join(options->join_host, options->port, sim_keys, POLL_MS, JOIN_TIMEOUT_MS);
    if (!ok) {
        std::fprintf(stderr, "quorvane-sim: %s\n", net_message());
        plat_shutdown();
        return 3;
    }
    if (options->online && me == 0) {
        std::printf("room: %s\n", net_room_code());
        std::fflush(stdout);
    }
    // A join by code may be given the maker's seat back: the computer plays that one, and the
    // clock of a match that began long ago is not set back.
    int32_t joined = me;
    if (net_local_player() != me) {
        ai_reset();
        ai_setup(net_local_player(), options->level[me]);
        me = net_local_player();
        clock_set = 1;
    }
    game_init();
    if (joined && !net_ready()) {
        report_end();
        return finish(3);
    }
    int32_t told = 0;
    uint32_t relinks = 0;
    told_held = 0;
    net_set_wait_hook(held_hook);

    auto started = std::chrono::steady_clock::now();
    PlatMessage msg{};
    for (uint32_t frame = 0; frame < FRAME_LIMIT; frame++) {
        while (plat_message_peek(&msg))
            if (msg.type != PLAT_MSG_QUIT) game_window_proc(&msg);
        game_frame();
        if (net_after_frame()) {
            report_end();
            return finish(3);
        }
        if (!told && net_state() == NET_STATE_LINKED) {
            told = 1;
            if (net_catch_up_frames())
                std::fprintf(stderr,
                             "quorvane-sim: back in room %s in a new game: caught up %u frames, plays player %d\n",
                             net_room_code(), net_catch_up_frames(), me + 1);
            else if (net_watching())
                std::fprintf(stderr, "quorvane-sim: watching room %s from the match's start\n", net_room_code());
            else
                std::fprintf(stderr, "quorvane-sim: online match begins, this side plays player %d\n", me + 1);
            if (net_link_kind() != NET_LINK_NONE)
                std::fprintf(stderr, "link: %s\n", net_link_kind() == NET_LINK_DIRECT ? "direct" : "relayed");
        }
        if (net_relinks() != relinks) {
            relinks = net_relinks();
            told_held = 0;
            std::fprintf(stderr, "quorvane-sim: %s\nlink: %s\n", net_message(),
                         net_link_kind() == NET_LINK_DIRECT ? "direct" : "relayed");
        }
        if (net_state() == NET_STATE_WAITING && seconds_since(started) > HOST_WAIT_S) {
            std::fprintf(stderr, "quorvane-sim: no player joined within %.0f s\n", HOST_WAIT_S);
            return finish(3);
        }
        if (match_over()) {
            // The replay's result line, frames counted from the link so both sides agree.
            RplResult result = rpl_result_now();
            result.frames = net_frames();
            char line[128];
            rpl_format_result(&result, line, sizeof line);
            std::printf("%s\n", line);
            std::fflush(stdout);
            NetWaits w = net_waits();
            std::fprintf(stderr,
                         "quorvane-sim: waits for the peer: %u changes of turn, %.1f ms average, %u ms longest; "
                         "%u other frames, %.1f ms average, %u ms longest; round trip %u ms; %u bad packets\n",
                         w.turn_changes, w.turn_changes ? double(w.turn_total_ms) / w.turn_changes : 0.0,
                         w.turn_longest_ms, w.frames, w.frames ? double(w.frame_total_ms) / w.frames : 0.0,
                         w.frame_longest_ms, net_round_trip_ms(), net_bad_packets());
            return finish(0);
        }
    }
    std::fprintf(stderr, "quorvane-sim: the match did not end within %u frames\n", FRAME_LIMIT);
    return finish(3);
}
