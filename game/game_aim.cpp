// Aiming: turning, power and firing for the player in turn.
#include <cstdint>

#include "game/game.h"
#include "gfx/polygon.h"
#include "input/input.h"

namespace {

// The aim frame follows the angle only when it reaches one of the 16 direction angles.
void update_aim_frame(int32_t player, int32_t a) {
    SpriteObject *ship = player == 0 ? &ship1 : &ship2;
    for (int32_t i = 1; i <= DIRECTION_FRAMES; i++) {
        int32_t t = static_cast<int32_t>(i * DIRECTION_STEP);
        if (a == 360 - t) game_set_aim_frame(ship, DIRECTION_FRAMES - i);
    }
}

} // namespace

void game_turn_controls(void) {
    int32_t p = current_player;
    PolygonShape *turret = p == 0 ? &turret1 : &turret2;
    // Player 2 faces the other way, so the same key turns it the mirror way.
    int32_t turn = p == 0 ? ANGLE_STEP : -ANGLE_STEP;

    if (keyboard_state[DIK_RIGHT]) {
        gfx_rotate_polygon(turret, turn);
        angle[p] += turn;
        update_aim_frame(p, angle[p]);
    } else if (keyboard_state[DIK_LEFT]) {
        gfx_rotate_polygon(turret, -turn);
        angle[p] -= turn;
        update_aim_frame(p, angle[p]);
    }

    if (keyboard_state[DIK_UP] && power[p] < POWER_MAX)
        power[p] += POWER_STEP;
    else if (keyboard_state[DIK_DOWN] && power[p] > POWER_MIN_LIMIT)
        power[p] -= POWER_STEP;

    if (keyboard_state[DIK_RETURN] || keyboard_state[DIK_SPACE])
        game_fire_shot(angle[p], static_cast<float>(power[p] * POWER_SCALE));
}
