// The computer's copy of the shot: firing and the flight step over a layout of its own, the
// arithmetic kept as the game's so that its flights land where the game's would.
#include <cmath>
#include <cstdint>

#include "ai/ai.h"
#include "game/game.h"
#include "gfx/display.h"
#include "gfx/sprite.h"

namespace {

int32_t inside(float x, float y, float hx, float hy, float size) {
    return hx < x && x < hx + size && hy < y && y < hy + size;
}

} // namespace

void ai_read_layout(AiLayout *layout) {
    AiLayout &l = *layout;
    l = AiLayout{};
    const SpriteObject *ships[2] = {&ship1, &ship2};
    const PolygonShape *turrets[2] = {&turret1, &turret2};
    for (int32_t p = 0; p < 2; p++) {
        l.ship_x[p] = game_home_x(ships[p]);
        l.ship_y[p] = game_home_y(ships[p]);
        const PolygonShape *t = turrets[p];
        l.muzzle_x[p] = static_cast<float>(t->x) + (t->vertices ? t->vertices[0].x : 0.0f);
        l.muzzle_y[p] = static_cast<float>(t->y) + (t->vertices ? t->vertices[0].y : 0.0f);
    }
    l.body_count = last_body_index + 1;
    if (l.body_count > 3) l.body_count = 3;
    if (l.body_count < 0) l.body_count = 0;
    for (int32_t i = 0; i < l.body_count; i++) {
        const SpriteObject &b = bodies[i];
        l.bodies[i] = AiBody{b.x, b.y, b.width / 2, b.height / 2, game_body_size(&b), game_home_x(&b), game_home_y(&b)};
    }
    l.field_w = static_cast<float>(screen_width);
    l.field_h = static_cast<float>(screen_height);
}

void ai_fire(const AiLayout *layout, int32_t player, int32_t angle_degrees, int32_t power, Shot *shot) {
    float speed = static_cast<float>(power * POWER_SCALE);
    shot->x = layout->muzzle_x[player];
    shot->y = layout->muzzle_y[player];
    if (player != 0) angle_degrees = angle_degrees <= 180 ? angle_degrees + 180 : angle_degrees - 180;
    float r = static_cast<float>(angle_degrees * DEG_TO_RAD);
    shot->vx = static_cast<float>(std::cos(static_cast<double>(r)) * speed);
    shot->vy = static_cast<float>(std::sin(static_cast<double>(r)) * speed);
    shot->life = SHOT_LIFE;
    shot->state = 1;
}

int32_t ai_step(const AiLayout *layout, int32_t player, Shot *shot) {
    if (shot->state != 1) return AI_END_MISS;
    const AiLayout &l = *layout;
    float s = player == 0 ? 1.0f : -1.0f;
    int32_t ended = 0;

    shot->x = shot->x + s * shot->vx;
    shot->y = shot->y + s * shot->vy;

    for (int32_t i = 0; i < l.body_count; i++) {
        const AiBody &body = l.bodies[i];
        if (body.size <= 0) continue;
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
    if (shot->life < 1) ended = 1;

    for (int32_t i = 0; i < l.body_count; i++) {
        const AiBody &body = l.bodies[i];
        if (inside(shot->x, shot->y, body.home_x, body.home_y, static_cast<float>(body.size))) ended = 1;
    }

    // The game tests the right ship before the left, and a body hit in the same step does not
    // stop a ship hit.
    if (shot->life < SHIP_HIT_LIFE_LIMIT) {
        for (int32_t j = 1; j >= 0; j--) {
            if (inside(shot->x, shot->y, l.ship_x[j], l.ship_y[j], SHIP_HIT_SIZE)) {
                shot->state = 0;
                return j == player ? AI_END_OWN : AI_END_OTHER;
            }
        }
    }

    if (!(shot->x < l.field_w && shot->y < l.field_h && shot->y >= 0.0f && shot->x >= 0.0f)) ended = 1;
    if (ended) shot->state = 0;
    return ended ? AI_END_MISS : AI_END_NONE;
}

void ai_fly(const AiLayout *layout, int32_t player, int32_t angle, int32_t power, AiFlight *out) {
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
