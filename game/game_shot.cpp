// The game's one shot: fired and stepped by the rules of flight over the sprites' layout,
// then drawn and sounded from what each step reports.
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

} // namespace

void game_reset_shot(void) { shot = Shot{}; }

void game_play_cannon(void) { play_first_idle(cannon_sounds); }

void game_play_explosion(void) { play_first_idle(explosion_sounds); }

void game_read_layout(FlightLayout *layout) {
    FlightLayout &l = *layout;
    l = FlightLayout{};
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
    if (l.body_count > FLIGHT_BODIES) l.body_count = FLIGHT_BODIES;
    if (l.body_count < 0) l.body_count = 0;
    for (int32_t i = 0; i < l.body_count; i++) {
        const SpriteObject &b = bodies[i];
        l.bodies[i] =
            FlightBody{b.x, b.y, b.width / 2, b.height / 2, game_body_size(&b), game_home_x(&b), game_home_y(&b)};
    }
    l.field_w = static_cast<float>(screen_width);
    l.field_h = static_cast<float>(screen_height);
}

void game_fire_shot(int32_t angle_degrees, float speed) {
    if (shot.state != 0) return;
    FlightLayout layout;
    game_read_layout(&layout);
    game_flight_fire(&layout, current_player, angle_degrees, speed, &shot);
    shots_fired++;
    game_play_cannon();
}

// The flight is the rules'; the sounds, the blast and the turn are the game's.
void game_step_shot(void) {
    if (shot.state != 1) return;
    FlightLayout layout;
    game_read_layout(&layout);
    FlightStep step = game_flight_step(&layout, current_player, &shot);
    if (step.life_out) game_play_explosion();
    for (int32_t i = 0; i < step.bodies_hit; i++) game_play_explosion();
    if (step.ship_hit >= 0) {
        game_play_explosion();
        game_burst_particles(PARTICLE_STEADY, 0, EXPLOSION_LIFE, static_cast<int32_t>(shot.x),
                             static_cast<int32_t>(shot.y), 0, 0, EXPLOSION_PARTICLES);
        *(step.ship_hit == 0 ? &ship1_destroyed : &ship2_destroyed) = 1;
    }
    if (step.ended) current_player = static_cast<uint8_t>(1 - current_player);
}

void game_draw_shot(void) {
    if (shot.state != 1) return;
    gfx_fill_rect_blit(static_cast<int32_t>(shot.x - 1.0f), static_cast<int32_t>(shot.y - 1.0f),
                       static_cast<int32_t>(shot.x + 1.0f), static_cast<int32_t>(shot.y + 1.0f), SHOT_COLOUR,
                       back_surface);
}
