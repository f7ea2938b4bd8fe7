// The rules of flight, kept apart from the sprites, the screen and the speakers so that the
// game and the computer fly by the same arithmetic.
#include "game/game_flight.h"

#include <cmath>

namespace {

int32_t inside(float x, float y, float hx, float hy, float size) {
    return hx < x && x < hx + size && hy < y && y < hy + size;
}

} // namespace

void game_flight_fire(const FlightLayout *layout, int32_t player, int32_t angle_degrees, float speed, Shot *shot) {
    shot->x = layout->muzzle_x[player];
    shot->y = layout->muzzle_y[player];
    // Player 2 flies with its velocity negated, so its angle turns half a circle.
    if (player != 0) angle_degrees = angle_degrees <= 180 ? angle_degrees + 180 : angle_degrees - 180;
    float r = static_cast<float>(angle_degrees * DEG_TO_RAD);
    shot->vx = static_cast<float>(std::cos(static_cast<double>(r)) * speed);
    shot->vy = static_cast<float>(std::sin(static_cast<double>(r)) * speed);
    shot->life = SHOT_LIFE;
    shot->state = 1;
}

FlightStep game_flight_step(const FlightLayout *layout, int32_t player, Shot *shot) {
    const FlightLayout &l = *layout;
    FlightStep out{0, 0, 0, -1, 0};
    float s = player == 0 ? 1.0f : -1.0f;

    shot->x = shot->x + s * shot->vx;
    shot->y = shot->y + s * shot->vy;

    for (int32_t i = 0; i < l.body_count; i++) {
        const FlightBody &body = l.bodies[i];
        if (body.size <= 0) continue; // no body was set up in this slot
        float cx = static_cast<float>(body.half_w) + body.x - shot->x;
        float cy = static_cast<float>(body.half_h) + body.y - shot->y;
        double sum = static_cast<double>(cx) * cx + static_cast<double>(cy) * cy;
        float d2 = static_cast<float>(sum);
        float d = static_cast<float>(std::sqrt(sum));
        float ux = cx / d;
        float uy = cy / d;
        int32_t k = GRAVITY_CONSTANT / ((i + 1) * 100 * body.size);
        float g = static_cast<float>(static_cast<double>((GRAVITY_CONSTANT - k) * 2) * GRAVITY_SCALE / d2);
        shot->vx = static_cast<float>(shot->vx + static_cast<double>(s) * ux * g);
        shot->vy = static_cast<float>(shot->vy + static_cast<double>(s) * uy * g);
    }

    shot->life = shot->life - 1;
    if (shot->life < 1) out.life_out = 1;

    for (int32_t i = 0; i < l.body_count; i++) {
        const FlightBody &body = l.bodies[i];
        if (inside(shot->x, shot->y, body.home_x, body.home_y, static_cast<float>(body.size))) out.bodies_hit++;
    }

    // The right ship is tested before the left, and a body hit in the same step does not stop
    // a ship hit.
    if (shot->life < SHIP_HIT_LIFE_LIMIT) {
        for (int32_t j = 1; j >= 0; j--) {
            if (inside(shot->x, shot->y, l.ship_x[j], l.ship_y[j], SHIP_HIT_SIZE)) {
                shot->state = 0;
                out.ship_hit = j;
                out.ended = 1;
                return out;
            }
        }
    }

    if (!(shot->x < l.field_w && shot->y < l.field_h && shot->y >= 0.0f && shot->x >= 0.0f)) out.left_field = 1;
    out.ended = out.life_out || out.bodies_hit || out.left_field;
    if (out.ended) shot->state = 0;
    return out;
}
