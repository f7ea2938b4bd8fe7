// Match state and the set-up of each round: ships, bodies, turrets.
#include <cstdint>

#include "game/game.h"
#include "game/game_internal.h"
#include "gfx/bitmap.h"
#include "gfx/clock.h"
#include "gfx/polygon.h"
#include "gfx/sprite.h"
#include "platform/plat_system.h"
#include "stream/stream.h"

uint8_t current_player = 0;
int32_t angle[2] = {360, 180};
int32_t power[2] = {100, 100};
int32_t score[2] = {0, 0};
int32_t rounds_to_play = 5;
uint8_t ship1_destroyed = 0, ship2_destroyed = 0, player1_won = 0, player2_won = 0;
int32_t last_body_index = 0;
SpriteObject bodies[3];
PolygonShape turret1, turret2;

namespace {

struct BodyKindInfo {
    const char *file;
    int32_t size, width, height, frames, ticks_per_frame;
    int32_t cells_per_row;
};

constexpr BodyKindInfo BODY_KINDS[3] = {
    {GAME_FILE_PHOTON, 40, 44, 44, 7, 1, 7},
    {GAME_FILE_MOON, 21, 26, 25, 6, 3, 6},
    {GAME_FILE_EARTH, 40, 44, 44, 18, 4, 9},
};

// Each round rebuilds the turrets into the same storage.
Vertex2F turret1_vertices[4];
Vertex2F turret2_vertices[4];

int32_t draw_body_x(void) { return plat_rand() % 194 + 213; }
int32_t draw_body_y(void) { return plat_rand() % 410 + 32; }

int32_t too_close(int32_t v, const int32_t *earlier, int32_t count) {
    for (int32_t j = 0; j < count; j++)
        if (earlier[j] - BODY_MIN_SEPARATION < v && v < earlier[j] + BODY_MIN_SEPARATION) return 1;
    return 0;
}

// Redraws v while it lies within 50 of an earlier body. Two earlier bodies 95 to 99 apart can
// cover the whole range; so after BODY_SEPARATION_TRIES redraws the first value of the range
// that keeps the rule is taken, and if there is none the last draw stands.
int32_t separate(int32_t v, const int32_t *earlier, int32_t count, int32_t (*draw)(void), int32_t lo, int32_t hi) {
    for (int32_t tries = 0; too_close(v, earlier, count); tries++) {
        if (tries == BODY_SEPARATION_TRIES) {
            for (int32_t c = lo; c <= hi; c++)
                if (!too_close(c, earlier, count)) return c;
            return v;
        }
        v = draw();
    }
    return v;
}

void build_turret(PolygonShape *turret, Vertex2F *vertices, const SpriteObject *ship, float length) {
    turret->state = 1;
    turret->vertex_count = 4;
    turret->x = static_cast<int32_t>(ship->x + 11.0f);
    turret->y = static_cast<int32_t>(ship->y + 8.0f);
    turret->vx = 0;
    turret->vy = 0;
    turret->colour = GAME_COLOUR_TURRET;
    vertices[0] = {0.0f, 0.0f};
    vertices[1] = {length, 0.0f};
    vertices[2] = {length, 0.0f};
    vertices[3] = {0.0f, 0.0f};
    turret->vertices = vertices;
}

} // namespace

void game_place_ship(SpriteObject *ship, int32_t aim_frame) {
    game_set_aim_frame(ship, aim_frame);
    game_set_home(ship, ship->x, ship->y);
}

void game_destroy_bodies(void) {
    for (int32_t i = 0; i <= last_body_index && i < 3; i++) {
        gfx_sprite_destroy(&bodies[i]);
        // An emptied record can be destroyed again harmlessly, whatever path comes next.
        bodies[i] = SpriteObject{};
    }
}

void game_new_round(void) {
    current_player = 0;
    ship1_destroyed = ship2_destroyed = player1_won = player2_won = 0;
    angle[0] = 360;
    angle[1] = 180;
    power[0] = power[1] = 100;
    plat_srand(strm_seed(gfx_clock_start()));

    ship1.x = static_cast<float>(plat_rand() % 85);
    ship1.y = static_cast<float>(plat_rand() % 446 + 10);
    ship2.x = static_cast<float>(plat_rand() % 84 + 535);
    ship2.y = static_cast<float>(plat_rand() % 448 + 10);
    game_place_ship(&ship1, 0);
    game_place_ship(&ship2, 8);

    last_body_index = plat_rand() % 3;
    int32_t bx[3] = {0, 0, 0}, by[3] = {0, 0, 0};
    for (int32_t i = 0; i <= last_body_index; i++) {
        int32_t kind = plat_rand() % 3;
        bx[i] = draw_body_x();
        by[i] = draw_body_y();
        bx[i] = separate(bx[i], bx, i, draw_body_x, 213, 406);
        by[i] = separate(by[i], by, i, draw_body_y, 32, 441);

        const BodyKindInfo &info = BODY_KINDS[kind];
        int32_t loaded = game_load_picture(info.file);
        SpriteObject *body = &bodies[i];
        game_set_body_size(body, info.size);
        gfx_sprite_create(body, bx[i], by[i], info.width, info.height, info.frames, GAME_SPRITE_ATTR,
                          GAME_SPRITE_MEMORY, 0, 8);
        gfx_sprite_set_anim_speed(body, info.ticks_per_frame);
        if (loaded)
            for (int32_t n = 0; n < info.frames; n++)
                gfx_sprite_load_frame(body, &shared_bitmap, n, n % info.cells_per_row, n / info.cells_per_row, 0);
        gfx_bmp_unload(&shared_bitmap);
        game_set_home(body, body->x, body->y);
    }

    build_turret(&turret1, turret1_vertices, &ship1, 40.0f);
    build_turret(&turret2, turret2_vertices, &ship2, -40.0f);
}
