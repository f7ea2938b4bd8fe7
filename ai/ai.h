// The computer player: an input source that presses the keys a person would on its turn.
// It aims by flying copies of the shot over the round's layout (never the live shot), adds a
// level's worth of human error, and walks the angle and power there one key step a frame.
#pragma once
#include <cstdint>

#include "game/game.h"

enum AiLevel : int32_t {
    AI_LEVEL_EASY = 0,
    AI_LEVEL_NORMAL = 1,
    AI_LEVEL_HARD = 2
};

// ---- the seat source ----

// Start-up: the computer plays player (0 or 1) at level; clears what it learnt of earlier shots.
void ai_setup(int32_t player, int32_t level);
// Start-up: no computer player any more.
void ai_reset(void);
// A seat source (StrmKeysFn): the key bits the computer presses this frame for seat; nothing
// between its turns and nothing for the menus. 1 always.
int32_t ai_keys(int32_t seat, uint8_t *keys);
// Flight steps the search of player's current turn has used so far (benchmarks, tests).
int64_t ai_turn_steps(int32_t player);

// ---- flights as the computer judges them (over the game's rules of flight) ----

enum AiEnd : int32_t {
    AI_END_NONE = 0,
    AI_END_MISS = 1,
    AI_END_OTHER = 2,
    AI_END_OWN = 3
};

struct AiFlight {
    int32_t end;   // one of AI_END_ but NONE
    int32_t steps; // steps flown
    float miss;    // nearest the shot came to the other ship's box centre while ships were hittable
                   // (the larger of the x and y distances: under 8 is inside)
};

// A fired shot of player at angle (whole degrees, 1..360) and power.
void ai_fire(const FlightLayout *layout, int32_t player, int32_t angle, int32_t power, Shot *shot);
// One flight step of player's shot; AI_END_NONE while it still flies.
int32_t ai_step(const FlightLayout *layout, int32_t player, Shot *shot);
// A whole flight: fire and step to its end.
void ai_fly(const FlightLayout *layout, int32_t player, int32_t angle, int32_t power, AiFlight *out);

// ---- the search ----

// Flight steps a turn's search may use in one frame, and in all (the game's work budget).
constexpr int64_t AI_FRAME_STEPS = 10000;
constexpr int64_t AI_TURN_STEPS = 300000;

struct AiAim {
    int32_t angle, power;
    int32_t hits; // 1: it hits the other ship; 0: the best miss found
    float miss;
    int32_t width; // hitting cells around it (of 24): how forgiving the shot is
};

// Round start: a search for player over layout from nothing.
void ai_plan_begin(const FlightLayout *layout, int32_t player);
// Searches on for at most about max_steps flight steps; 1 once there is nothing left to
// search (or enough hits found), else 0.
int32_t ai_plan_work(int32_t player, int64_t max_steps);
// Flight steps used since ai_plan_begin.
int64_t ai_plan_steps(int32_t player);
// The shots found so far: up to max of them, the most forgiving hits first, else the best
// miss; the count.
int32_t ai_plan_hits(int32_t player, AiAim *out, int32_t max);

// ---- aiming like a person ----

// What a computer remembers of its shots in a round: its own numbers (never the game's) and
// the error it made last.
struct AiAimer {
    uint32_t rng;
    int32_t shots;
    float error[2]; // angle in degrees, power
};

// Round start: a fresh aimer whose numbers follow from the layout, player and level.
void ai_aimer_begin(AiAimer *aimer, const FlightLayout *layout, int32_t player, int32_t level);
// The angle and power a computer of level fires its next shot with at target: a first shot
// off by a level's error, each later one corrected past the last miss to its other side and
// closer, as a person brackets. Never a shot the flight copy says hits its own ship when a
// smaller error avoids it.
void ai_aim_with_error(AiAimer *aimer, const FlightLayout *layout, int32_t player, int32_t level, const AiAim *target,
                       int32_t *angle, int32_t *power);
// The shot a computer of level goes for among those its search found: the most forgiving
// for normal and hard, the one nearest the standing aim (fewest key steps) for easy.
void ai_choose_target(int32_t player, int32_t level, int32_t angle_now, int32_t power_now, AiAim *out);
