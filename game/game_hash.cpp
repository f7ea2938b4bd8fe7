// A hash of the state that decides what happens next, for replays and online play.
#include <cstdint>
#include <cstring>

#include "game/game.h"
#include "platform/plat_system.h"

namespace {

// FNV-1a over the bytes of each value, in a fixed order.
struct Hasher {
    uint64_t h = 14695981039346656037ull;
    void bytes(const void *p, size_t n) {
        const uint8_t *b = static_cast<const uint8_t *>(p);
        for (size_t i = 0; i < n; i++) {
            h ^= b[i];
            h *= 1099511628211ull;
        }
    }
    void i32(int32_t v) { bytes(&v, sizeof v); }
    void f32(float v) {
        uint32_t u;
        std::memcpy(&u, &v, sizeof u);
        bytes(&u, sizeof u);
    }
};

} // namespace

uint64_t game_state_hash(void) {
    Hasher h;
    h.i32(menu_active);
    h.i32(options_active);
    h.i32(story_active);
    h.i32(rounds_to_play);
    h.i32(current_player);
    for (int32_t p = 0; p < 2; p++) {
        h.i32(angle[p]);
        h.i32(power[p]);
        h.i32(score[p]);
    }
    h.i32(ship1_destroyed);
    h.i32(ship2_destroyed);
    h.i32(player1_won);
    h.i32(player2_won);
    for (const SpriteObject *ship : {&ship1, &ship2}) {
        h.f32(ship->x);
        h.f32(ship->y);
        h.i32(game_aim_frame(ship));
        h.f32(game_home_x(ship));
        h.f32(game_home_y(ship));
    }
    h.i32(last_body_index);
    for (int32_t i = 0; i <= last_body_index && i < 3; i++) {
        h.f32(bodies[i].x);
        h.f32(bodies[i].y);
        h.i32(game_body_size(&bodies[i]));
        h.i32(bodies[i].frame);
    }
    h.i32(shot.state);
    h.f32(shot.x);
    h.f32(shot.y);
    h.f32(shot.vx);
    h.f32(shot.vy);
    h.i32(shot.life);
    h.i32(static_cast<int32_t>(plat_rand_state()));
    return h.h;
}
