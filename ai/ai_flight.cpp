// The computer's flights: its copies of the shot flown by the game's own rules over the round's
// layout, each judged by how it ended and how near it came to the other ship.
#include <cmath>
#include <cstdint>

#include "ai/ai.h"
#include "game/game_flight.h"

void ai_fire(const FlightLayout *layout, int32_t player, int32_t angle_degrees, int32_t power, Shot *shot) {
    game_flight_fire(layout, player, angle_degrees, game_flight_speed(power), shot);
}

int32_t ai_step(const FlightLayout *layout, int32_t player, Shot *shot) {
    if (shot->state != 1) return AI_END_MISS;
    FlightStep step = game_flight_step(layout, player, shot);
    if (step.ship_hit >= 0) return step.ship_hit == player ? AI_END_OWN : AI_END_OTHER;
    return step.ended ? AI_END_MISS : AI_END_NONE;
}

void ai_fly(const FlightLayout *layout, int32_t player, int32_t angle, int32_t power, AiFlight *out) {
    Shot shot{};
    ai_fire(layout, player, angle, power, &shot);
    const float tx = layout->ship_x[1 - player] + SHIP_HIT_SIZE / 2;
    const float ty = layout->ship_y[1 - player] + SHIP_HIT_SIZE / 2;
    float miss = 1e9f;
    int32_t steps = 0;
    int32_t end = AI_END_NONE;
    while (end == AI_END_NONE) {
        end = ai_step(layout, player, &shot);
        steps++;
        if (shot.life < SHIP_HIT_LIFE_LIMIT) {
            float dx = std::fabs(shot.x - tx), dy = std::fabs(shot.y - ty);
            float m = dx > dy ? dx : dy;
            if (m < miss) miss = m;
        }
    }
    if (end == AI_END_OTHER) miss = 0.0f;
    *out = AiFlight{end, steps, miss};
}
