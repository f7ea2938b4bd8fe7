// The particle table: explosion bursts, their update and drawing.
#include <cstdint>

#include "game/game.h"
#include "gfx/display.h"
#include "gfx/line.h"
#include "gfx/polygon.h"
#include "platform/plat_system.h"

Particle particles[PARTICLE_COUNT];

namespace {

constexpr int32_t COLOUR_CLASSES[4][2] = {{GAME_COLOUR_EXPLOSION, GAME_COLOUR_CLASS0_LAST},
                                          {GAME_COLOUR_FIRE_FIRST, GAME_COLOUR_FIRE_LAST},
                                          {GAME_COLOUR_OCEAN_FIRST, GAME_COLOUR_OCEAN_LAST},
                                          {GAME_COLOUR_GREY_FIRST, GAME_COLOUR_GREY_LAST}};

int32_t flicker_colour(const Particle &p) {
    int32_t span = p.colour_max - p.colour_min + 1;
    if (span == 0) return p.colour_min;
    return p.colour_min + plat_rand() % span;
}

} // namespace

void game_spawn_particle(int32_t kind, int32_t colour_class, int32_t life, int32_t x, int32_t y, int32_t vx,
                         int32_t vy) {
    if (colour_class < 0 || colour_class > 3) return;
    for (Particle &p : particles) {
        if (p.state != 0) continue;
        p.state = 1;
        p.kind = kind;
        p.life = life;
        p.x = static_cast<float>(x);
        p.y = static_cast<float>(y);
        p.vx = static_cast<float>(vx);
        p.vy = static_cast<float>(vy);
        p.counter = 0;
        p.colour_min = COLOUR_CLASSES[colour_class][0];
        p.colour_max = COLOUR_CLASSES[colour_class][1];
        p.colour = kind == PARTICLE_FLICKER ? flicker_colour(p) : p.colour_min;
        return;
    }
}

void game_burst_particles(int32_t kind, int32_t colour_class, int32_t life, int32_t x, int32_t y, int32_t vx0,
                          int32_t vy0, int32_t count) {
    for (int32_t n = 0; n < count; n++) {
        int32_t a = plat_rand() % 360;
        float r = static_cast<float>(plat_rand() % 4 + 2);
        int32_t vy = static_cast<int32_t>(vy0 + r * sin_table[a]);
        int32_t vx = static_cast<int32_t>(vx0 + r * cos_table[a]);
        int32_t py = y + plat_rand() % 9 - 4;
        int32_t px = x + plat_rand() % 9 - 4;
        game_spawn_particle(kind, colour_class, life, px, py, vx, vy);
    }
}

void game_ring_particles(int32_t kind, int32_t colour_class, int32_t life, int32_t x, int32_t y, int32_t vx0,
                         int32_t vy0, int32_t count) {
    float r = static_cast<float>(plat_rand() % 4 + 2);
    for (int32_t n = 0; n < count; n++) {
        int32_t a = plat_rand() % 360;
        game_spawn_particle(kind, colour_class, life, x, y, static_cast<int32_t>(vx0 + r * cos_table[a]),
                            static_cast<int32_t>(vy0 + r * sin_table[a]));
    }
}

void game_update_particles(void) {
    for (Particle &p : particles) {
        if (p.state != 1) continue;
        p.x = p.x + p.vx;
        p.y = p.y + p.vy;
        if (p.kind != PARTICLE_FLICKER) {
            p.counter = p.counter + 1;
            if (p.counter >= p.life) {
                p.counter = 0;
                p.state = 0;
            }
        } else {
            p.colour = flicker_colour(p);
            p.counter = p.counter + 1;
            if (p.counter >= p.life) p.state = 0;
        }
    }
}

void game_draw_particles(void) {
    uint8_t *memory = gfx_lock_back();
    if (memory) {
        for (const Particle &p : particles) {
            if (p.state != 1) continue;
            int32_t ix = static_cast<int32_t>(p.x), iy = static_cast<int32_t>(p.y);
            if (ix >= 0 && ix < 640 && iy >= 0 && iy < 480)
                gfx_plot_pixel8(ix, iy, static_cast<uint8_t>(p.colour & 0xFF), memory, back_pitch);
        }
    }
    gfx_unlock_back();
}

void game_reset_particles(void) {
    for (Particle &p : particles) {
        p = Particle{};
        p.kind = PARTICLE_STEADY;
    }
}

int32_t game_explosion_running(void) { return particles[0].state == 1; }
