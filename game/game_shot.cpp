// The one shot: firing, the flight step under gravity, drawing, and its sounds.
#include <cmath>
#include <cstdint>

#include "audio/sound.h"
#include "game/game.h"
#include "gfx/display.h"
#include "gfx/line.h"
#include "gfx/sprite.h"

Shot shot;
uint32_t shots_fired = 0;

namespace {

void play_first_idle(const int32_t ids[8]) {
    for (int32_t i = 0; i < 8; i++) {
        if (snd_status(ids[i]) == 0) {
            snd_play(ids[i], 0);
            return;
        }
    }
}

int32_t inside(float x, float y, float hx, float hy, float size) {
    return hx < x && x < hx + size && hy < y && y < hy + size;
}

} // namespace

void game_reset_shot(void) { shot = Shot{}; }

void game_play_cannon(void) { play_first_idle(cannon_sounds); }

void game_play_explosion(void) { play_first_idle(explosion_sounds); }

void game_fire_shot(int32_t angle_degrees, float speed) {
    if (shot.state != 0) return;
    const PolygonShape *turret = current_player == 0 ? &turret1 : &turret2;
    float vx0 = turret->vertices ? turret->vertices[0].x : 0.0f;
    float vy0 = turret->vertices ? turret->vertices[0].y : 0.0f;
    shot.x = static_cast<float>(turret->x) + vx0;
    shot.y = static_cast<float>(turret->y) + vy0;
    // Player 2 flies with its velocity negated, so its angle turns half a circle.
    if (current_player != 0) angle_degrees = angle_degrees <= 180 ? angle_degrees + 180 : angle_degrees - 180;
    float r = static_cast<float>(angle_degrees * DEG_TO_RAD);
    shot.vx = static_cast<float>(std::cos(static_cast<double>(r)) * speed);
    shot.vy = static_cast<float>(std::sin(static_cast<double>(r)) * speed);
    shot.life = SHOT_LIFE;
    shot.state = 1;
    shots_fired++;
    game_play_cannon();
}

void game_step_shot(void) {
    if (shot.state != 1) return;
    float s = current_player == 0 ? 1.0f : -1.0f;
    // However many ends one step finds, the turn passes once.
    bool passed = false;
    auto end_flight = [&passed]() {
        shot.state = 0;
        if (!passed) {
            current_player = static_cast<uint8_t>(1 - current_player);
            passed = true;
        }
    };

    shot.x = shot.x + s * shot.vx;
    shot.y = shot.y + s * shot.vy;

    for (int32_t i = 0; i <= last_body_index; i++) {
        const SpriteObject &body = bodies[i];
        if (game_body_size(&body) <= 0) continue; // no body was set up in this slot
        float cx = static_cast<float>(body.width / 2) + body.x - shot.x;
        float cy = static_cast<float>(body.height / 2) + body.y - shot.y;
        double sum = static_cast<double>(cx) * cx + static_cast<double>(cy) * cy;
        float d2 = static_cast<float>(sum);
        float d = static_cast<float>(std::sqrt(sum));
        float ux = cx / d;
        float uy = cy / d;
        int32_t k = GRAVITY_CONSTANT / ((i + 1) * 100 * game_body_size(&body));
        float g = static_cast<float>(static_cast<double>((GRAVITY_CONSTANT - k) * 2) * GRAVITY_SCALE / d2);
        shot.vx = static_cast<float>(shot.vx + static_cast<double>(s) * ux * g);
        shot.vy = static_cast<float>(shot.vy + static_cast<double>(s) * uy * g);
    }

    shot.life = shot.life - 1;
    if (shot.life < 1) {
        game_play_explosion();
        end_flight();
    }

    for (int32_t i = 0; i <= last_body_index; i++) {
        const SpriteObject &body = bodies[i];
        if (inside(shot.x, shot.y, game_home_x(&body), game_home_y(&body), static_cast<float>(game_body_size(&body)))) {
            game_play_explosion();
            end_flight();
        }
    }

    if (shot.life < SHIP_HIT_LIFE_LIMIT) {
        SpriteObject *ships[2] = {&ship2, &ship1};
        uint8_t *destroyed[2] = {&ship2_destroyed, &ship1_destroyed};
        for (int32_t j = 0; j < 2; j++) {
            if (inside(shot.x, shot.y, game_home_x(ships[j]), game_home_y(ships[j]), SHIP_HIT_SIZE)) {
                game_play_explosion();
                shot.state = 0;
                game_burst_particles(PARTICLE_STEADY, 0, EXPLOSION_LIFE, static_cast<int32_t>(shot.x),
                                     static_cast<int32_t>(shot.y), 0, 0, EXPLOSION_PARTICLES);
                *destroyed[j] = 1;
                end_flight();
                return;
            }
        }
    }

    if (!(shot.x < static_cast<float>(screen_width) && shot.y < static_cast<float>(screen_height) && shot.y >= 0.0f &&
          shot.x >= 0.0f))
        end_flight();
}

void game_draw_shot(void) {
    if (shot.state != 1) return;
    gfx_fill_rect_blit(static_cast<int32_t>(shot.x - 1.0f), static_cast<int32_t>(shot.y - 1.0f),
                       static_cast<int32_t>(shot.x + 1.0f), static_cast<int32_t>(shot.y + 1.0f), SHOT_COLOUR,
                       back_surface);
}
