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

// A plain aimer for this side's turns: it flies candidate shots through the bodies' pull on
// its own copy of the numbers, takes one that reaches the other ship (or comes nearest), then
// turns, sets the power and fires. Its choices use its own generator, never the game's.
uint32_t aim_state = 12345;
int32_t aim_target_angle = -1, aim_target_power, aim_released;
int32_t aim_next(int32_t n) {
    aim_state = aim_state * 1103515245u + 12345u;
    return static_cast<int32_t>((aim_state >> 16) % static_cast<uint32_t>(n));
}

// How near a shot at angle a with power comes to the target ship: 0 for a hit, large when it
// hits its own ship first.
float flight_miss(int32_t p, int32_t a, int32_t pw) {
    const SpriteObject *own = p == 0 ? &ship1 : &ship2, *target = p == 0 ? &ship2 : &ship1;
    float x = static_cast<float>(static_cast<int32_t>(own->x + 11.0f));
    float y = static_cast<float>(static_cast<int32_t>(own->y + 8.0f));
    double r = a * DEG_TO_RAD;
    float vx = static_cast<float>(std::cos(r) * pw * POWER_SCALE), vy = static_cast<float>(std::sin(r) * pw * POWER_SCALE);
    float tx = target->float_vars[2] + 8.0f, ty = target->float_vars[3] + 8.0f, best = 1e9f;
    for (int32_t life = SHOT_LIFE - 1; life >= 1; life--) {
        x += vx;
        y += vy;
        for (int32_t i = 0; i <= last_body_index; i++) {
            const SpriteObject &b = bodies[i];
            if (b.int_vars[0] <= 0) continue;
            float cx = b.width / 2 + b.x - x, cy = b.height / 2 + b.y - y;
            float d2 = cx * cx + cy * cy, d = std::sqrt(d2);
            float g = static_cast<float>((GRAVITY_CONSTANT - GRAVITY_CONSTANT / ((i + 1) * 100 * b.int_vars[0])) * 2 *
                                         GRAVITY_SCALE / d2);
            vx += cx / d * g;
            vy += cy / d * g;
            float hx = b.float_vars[2], hy = b.float_vars[3], size = static_cast<float>(b.int_vars[0]);
            if (hx < x && x < hx + size && hy < y && y < hy + size) return best;
        }
        if (x < 0 || y < 0 || x >= 640 || y >= 480) return best;
        if (life < SHIP_HIT_LIFE_LIMIT) {
            float ox = own->float_vars[2], oy = own->float_vars[3];
            if (ox < x && x < ox + SHIP_HIT_SIZE && oy < y && y < oy + SHIP_HIT_SIZE) return 1e9f;
            float mx = tx - x, my = ty - y, m = mx * mx + my * my;
            if (target->float_vars[2] < x && x < target->float_vars[2] + SHIP_HIT_SIZE && target->float_vars[3] < y &&
                y < target->float_vars[3] + SHIP_HIT_SIZE)
                return 0.0f;
            if (m < best) best = m;
        }
    }
    return best;
}

void choose_aim(int32_t p) {
    float best = 2e9f;
    int32_t offset = aim_next(3);
    for (int32_t a = 1 + offset; a <= 360; a += 3) {
        for (int32_t pw = 100; pw <= 1000; pw += 25) {
            float miss = flight_miss(p, a, pw) + static_cast<float>(aim_next(4));
            if (miss < best) {
                best = miss;
                aim_target_angle = a;
                aim_target_power = pw;
            }
        }
    }
}

int32_t aim_keys(int32_t seat, uint8_t *keys) {
    *keys = 0;
    int32_t p = seat;
    if ((p != 0 && p != 1) || shot.state == 1) {
        aim_target_angle = -1;
        return 1;
    }
    if (aim_target_angle < 0) {
        choose_aim(p);
        // A steady hand, not a perfect one, so matches last a few turns.
        aim_target_angle = (aim_target_angle + 356 + aim_next(9)) % 360 + 1;
        aim_released = 0;
    }
    int32_t diff = ((aim_target_angle - angle[p]) % 360 + 540) % 360 - 180;
    // Right turns player 1 up the angles and player 2 down them.
    if (diff > 0) *keys |= p == 0 ? STRM_KEY_RIGHT : STRM_KEY_LEFT;
    else if (diff < 0) *keys |= p == 0 ? STRM_KEY_LEFT : STRM_KEY_RIGHT;
    if (power[p] < aim_target_power - 4) *keys |= STRM_KEY_UP;
    else if (power[p] > aim_target_power + 4) *keys |= STRM_KEY_DOWN;
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

void report_end(void) {
    std::fprintf(stderr, "quorvane-sim: %s\n", net_message());
    if (net_desync_path()[0])
        std::fprintf(stderr, "quorvane-sim: both input streams written to %s\n", net_desync_path());
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
        report_end();
        return finish(3);
    }
    int32_t told = 0;

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
            std::fprintf(stderr, "quorvane-sim: online match begins, this side plays player %d\n", me + 1);
        }
        if (net_state() == NET_STATE_WAITING && seconds_since(started) > HOST_WAIT_S) {
            std::fprintf(stderr, "quorvane-sim: no player joined within %.0f s\n", HOST_WAIT_S);
            return finish(3);
        }
        if (match_over()) {
            std::printf("online: player %d wins %d-%d, %u shots, state %016llx\n", score[0] > score[1] ? 1 : 2, score[0],
                        score[1], shots_fired, static_cast<unsigned long long>(game_state_hash()));
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
