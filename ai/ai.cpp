// The computer player as a seat source: on its turn it thinks (presses nothing while the
// search runs, a slice a frame), walks the angle and power there with the arrow keys one
// step a frame, waits a moment and presses Return. Between its turns it presses nothing.
#include "ai/ai.h"

#include <cstring>

#include "game/game.h"
#include "stream/stream.h"

namespace {

// Frames a turn takes at least to think, and to hold still before firing: about a second
// and a quarter of a second, so a person can follow.
constexpr int32_t THINK_FRAMES = 30;
constexpr int32_t STEADY_FRAMES = 8;

enum Phase : int32_t {
    PHASE_IDLE,
    PHASE_THINK,
    PHASE_WALK,
    PHASE_STEADY,
    PHASE_FIRED
};

struct Seat {
    int32_t playing, level;
    int32_t phase, frames;
    int32_t have_layout;
    FlightLayout layout;
    AiAimer aimer;
    int64_t turn_start_steps;
    int32_t want_angle, want_power;
};

Seat seats[2];

void begin_turn(Seat &s, int32_t player) {
    FlightLayout now;
    game_read_layout(&now);
    if (!s.have_layout || std::memcmp(&now, &s.layout, sizeof now) != 0) {
        // A new round: what was learnt of the last layout is no use.
        s.layout = now;
        s.have_layout = 1;
        ai_plan_begin(&s.layout, player);
        ai_aimer_begin(&s.aimer, &s.layout, player, s.level);
    }
    s.phase = PHASE_THINK;
    s.frames = 0;
    s.turn_start_steps = ai_plan_steps(player);
}

void think(Seat &s, int32_t player) {
    s.frames++;
    int64_t used = ai_plan_steps(player) - s.turn_start_steps;
    int32_t done = 0;
    if (used < AI_TURN_STEPS) {
        int64_t slice = AI_TURN_STEPS - used < AI_FRAME_STEPS ? AI_TURN_STEPS - used : AI_FRAME_STEPS;
        done = ai_plan_work(player, slice);
    }
    used = ai_plan_steps(player) - s.turn_start_steps;
    if ((done || used >= AI_TURN_STEPS) && s.frames >= THINK_FRAMES) {
        AiAim target;
        ai_choose_target(player, s.level, angle[player], power[player], &target);
        ai_aim_with_error(&s.aimer, &s.layout, player, s.level, &target, &s.want_angle, &s.want_power);
        s.phase = PHASE_WALK;
    }
}

// The arrow keys that bring the standing aim one step nearer the wanted one; 0 once there.
uint8_t walk_keys(const Seat &s, int32_t player) {
    uint8_t keys = 0;
    int32_t d = ((s.want_angle - angle[player]) % 360 + 360 + 180) % 360 - 180;
    // Right raises player 1's angle and lowers player 2's.
    if (d > 0)
        keys |= player == 0 ? STRM_KEY_RIGHT : STRM_KEY_LEFT;
    else if (d < 0)
        keys |= player == 0 ? STRM_KEY_LEFT : STRM_KEY_RIGHT;
    if (s.want_power > power[player])
        keys |= STRM_KEY_UP;
    else if (s.want_power < power[player])
        keys |= STRM_KEY_DOWN;
    return keys;
}

} // namespace

void ai_setup(int32_t player, int32_t level) {
    if (player != 0 && player != 1) return;
    seats[player] = Seat{};
    seats[player].playing = 1;
    seats[player].level = level < AI_LEVEL_EASY ? AI_LEVEL_EASY : level > AI_LEVEL_HARD ? AI_LEVEL_HARD : level;
}

void ai_reset(void) {
    seats[0] = Seat{};
    seats[1] = Seat{};
}

int64_t ai_turn_steps(int32_t player) {
    const Seat &s = seats[player & 1];
    return s.phase == PHASE_IDLE ? 0 : ai_plan_steps(player & 1) - s.turn_start_steps;
}

int32_t ai_keys(int32_t seat, uint8_t *keys) {
    *keys = 0;
    if (seat != STRM_SEAT_PLAYER1 && seat != STRM_SEAT_PLAYER2) return 1;
    Seat &s = seats[seat];
    if (!s.playing || shot.state == 1) return 1;
    if (s.phase == PHASE_IDLE || s.phase == PHASE_FIRED) begin_turn(s, seat);
    switch (s.phase) {
    case PHASE_THINK: think(s, seat); break;
    case PHASE_WALK:
        *keys = walk_keys(s, seat);
        if (*keys) break;
        s.phase = PHASE_STEADY;
        s.frames = 0;
        [[fallthrough]];
    case PHASE_STEADY:
        if (++s.frames > STEADY_FRAMES) {
            *keys = STRM_KEY_RETURN;
            s.phase = PHASE_FIRED;
        }
        break;
    default: break;
    }
    return 1;
}
