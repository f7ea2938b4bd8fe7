// The rules of flight: a shot fired and stepped over a layout of ships, muzzles, bodies and the
// field. Values in, values out: the game steps its live shot with it, the computer its copies.
#pragma once
#include <cstdint>

struct Shot {
    int32_t state; // 1 while it flies
    float x, y, vx, vy;
    int32_t life;
};
constexpr int32_t SHOT_LIFE = 500;
constexpr int32_t SHIP_HIT_LIFE_LIMIT = 470; // a shot cannot hit a ship before its life falls below this
constexpr float SHIP_HIT_SIZE = 16.0f;
constexpr int32_t GRAVITY_CONSTANT = 50000;
constexpr float GRAVITY_SCALE = 0.01f;
constexpr double DEG_TO_RAD = 0.0174532925;
constexpr double POWER_SCALE = 0.01;
constexpr int32_t FLIGHT_BODIES = 3;

struct FlightBody {
    float x, y;             // sprite position: the pull aims at its picture's centre
    int32_t half_w, half_h; // half the picture's width and height, truncated
    int32_t size;           // side of the hit box and mass term; 0 for an empty slot
    float home_x, home_y;   // hit box corner
};

struct FlightLayout {
    float ship_x[2], ship_y[2];     // ships' hit box corners: player 1 (left), player 2 (right)
    float muzzle_x[2], muzzle_y[2]; // where each player's shot starts
    int32_t body_count;
    FlightBody bodies[FLIGHT_BODIES];
    float field_w, field_h;
};

// What one step did; the step itself neither draws nor sounds.
struct FlightStep {
    int32_t ended;      // the shot stopped in this step: the turn passes
    int32_t life_out;   // its life ran out
    int32_t bodies_hit; // bodies whose box it is inside
    int32_t ship_hit;   // 0 or 1, the ship it struck (which ends the step at once); -1 for none
    int32_t left_field; // it is off the field
};

// The shot of player at angle (whole degrees) and speed, from that player's muzzle.
void game_flight_fire(const FlightLayout *layout, int32_t player, int32_t angle_degrees, float speed, Shot *shot);
// One step of player's flying shot: the pull of each body, then life, bodies, ships and field.
FlightStep game_flight_step(const FlightLayout *layout, int32_t player, Shot *shot);
inline float game_flight_speed(int32_t power) { return static_cast<float>(power * POWER_SCALE); }
