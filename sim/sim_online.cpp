// quorvane-sim --host / --join: one match against a peer, the computer playing this side.
#include <chrono>
#include <cmath>
#include <cstdio>

#include "ai/ai.h"
#include "game/game.h"
#include "game/game_internal.h"
#include "net/net.h"
#include "platform/plat_headless.h"
#include "platform/plat_system.h"
#include "sim/sim.h"
#include "stream/stream.h"

namespace {

constexpr uint32_t POLL_MS = 10;           // a waiting host sleeps this long per frame
constexpr uint32_t JOIN_TIMEOUT_MS = 10000;
constexpr double HOST_WAIT_S = 60.0;        // nobody joined: give up
constexpr uint32_t FRAME_LIMIT = 2000000;   // a match that never ends is a fault

// Back on the title menu with a winner's score: the match has been played to its end.
int32_t match_over(void) {
    int32_t needed = (rounds_to_play + rounds_to_play % 2) / 2;
    return game_current_screen() == GAME_SCREEN_MENU && (score[0] >= needed || score[1] >= needed);
}

int32_t clock_set;
uint32_t start_ticks;

// A plain aimer for this side's turns: towards the other ship with a random error, a random
// power, then fire. Its numbers come from its own generator, never from the game's.
uint32_t aim_state = 12345;
int32_t aim_target_angle = -1, aim_target_power, aim_released;
int32_t aim_next(int32_t n) {
    aim_state = aim_state * 1103515245u + 12345u;
    return static_cast<int32_t>((aim_state >> 16) % static_cast<uint32_t>(n));
}
int32_t aim_keys(int32_t seat, uint8_t *keys) {
    *keys = 0;
    int32_t p = seat;
    if ((p != 0 && p != 1) || shot.state == 1) {
        aim_target_angle = -1;
        return 1;
    }
    const SpriteObject *from = p == 0 ? &ship1 : &ship2, *to = p == 0 ? &ship2 : &ship1;
    if (aim_target_angle < 0) {
        double dx = to->float_vars[2] - from->float_vars[2], dy = to->float_vars[3] - from->float_vars[3];
        int32_t a = static_cast<int32_t>(std::atan2(dy, dx) * 57.2957795) - 10 + aim_next(21);
        aim_target_angle = ((a % 360) + 360) % 360 + 1;
        aim_target_power = 300 + 5 * aim_next(80);
        aim_released = 0;
    }
    int32_t diff = ((aim_target_angle - angle[p]) % 360 + 540) % 360 - 180;
    // Right turns player 1 up the angles and player 2 down them.
    if (diff > 0) *keys |= p == 0 ? STRM_KEY_RIGHT : STRM_KEY_LEFT;
    else if (diff < 0) *keys |= p == 0 ? STRM_KEY_LEFT : STRM_KEY_RIGHT;
    if (power[p] < aim_target_power - 2) *keys |= STRM_KEY_UP;
    else if (power[p] > aim_target_power + 2) *keys |= STRM_KEY_DOWN;
    if (*keys == 0) {
        aim_released = !aim_released;
        if (!aim_released) *keys = STRM_KEY_RETURN;
    }
    return 1;
}

// The host's side drives the menus: START GAME at once, Space on the win screen.
int32_t sim_keys(int32_t seat, uint8_t *keys) {
    *keys = 0;
    if (seat != STRM_SEAT_MENUS) return aim_keys(seat, keys);
    if (net_state() != NET_STATE_LINKED) return 1;
    // The clock starts from --seed when the match begins, however long the host waited, so a
    // seed gives the same match every time.
    if (!clock_set) {
        clock_set = 1;
        plat_headless_set_ticks(start_ticks);
        return 1;
    }
    int32_t screen = game_current_screen();
    if (screen == GAME_SCREEN_MENU && !match_over()) *keys = STRM_KEY_RETURN;
    else if (screen == GAME_SCREEN_WIN) *keys = STRM_KEY_SPACE;
    return 1;
}

double seconds_since(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

int32_t finish(int32_t code) {
    net_close(code == 0 ? NET_BYE_DONE : 0);
    game_shutdown();
    plat_shutdown();
    return code;
}

} // namespace

int32_t sim_online(const AppOptions *options) {
    int32_t me = options->host ? 0 : 1;
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
    aim_state = options->seed_given ? options->seed * 2u + static_cast<uint32_t>(me) : 12345u + static_cast<uint32_t>(me);

    int32_t ok = me == 0 ? net_host(options->port, sim_keys, POLL_MS)
                         : net_join(options->join_host, options->port, sim_keys, POLL_MS, JOIN_TIMEOUT_MS);
    if (!ok) {
        std::fprintf(stderr, "quorvane-sim: %s\n", net_message());
        plat_shutdown();
        return 3;
    }
    game_init();
    if (me == 1 && !net_ready()) {
        std::fprintf(stderr, "quorvane-sim: %s\n", net_message());
        return finish(3);
    }

    auto started = std::chrono::steady_clock::now();
    PlatMessage msg{};
    for (uint32_t frame = 0; frame < FRAME_LIMIT; frame++) {
        while (plat_message_peek(&msg))
            if (msg.type != PLAT_MSG_QUIT) game_window_proc(&msg);
        game_frame();
        if (net_after_frame()) {
            std::fprintf(stderr, "quorvane-sim: %s\n", net_message());
            if (net_desync_path()[0])
                std::fprintf(stderr, "quorvane-sim: both input streams written to %s\n", net_desync_path());
            return finish(3);
        }
        if (net_state() == NET_STATE_WAITING && seconds_since(started) > HOST_WAIT_S) {
            std::fprintf(stderr, "quorvane-sim: no player joined within %.0f s\n", HOST_WAIT_S);
            return finish(3);
        }
        if (match_over()) {
            std::printf("online: player %d wins %d-%d, %u shots, state %016llx\n", score[0] > score[1] ? 1 : 2, score[0],
                        score[1], shots_fired, static_cast<unsigned long long>(game_state_hash()));
            std::fflush(stdout);
            if (net_bad_packets())
                std::fprintf(stderr, "quorvane-sim: %u bad packets dropped\n", net_bad_packets());
            return finish(0);
        }
    }
    std::fprintf(stderr, "quorvane-sim: the match did not end within %u frames\n", FRAME_LIMIT);
    return finish(3);
}
