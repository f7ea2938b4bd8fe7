// One frame of the game: backdrop, the current screen, flip, pacing and the quit test.
#include <cstdio>
#include <cstring>
#include <cstdint>

#include "audio/music.h"
#include "audio/sound.h"
#include "game/game.h"
#include "game/game_internal.h"
#include "gfx/bitmap.h"
#include "gfx/clock.h"
#include "gfx/display.h"
#include "gfx/polygon.h"
#include "gfx/sprite.h"
#include "gfx/text.h"
#include "input/input.h"
#include "platform/plat_system.h"
#include "stream/stream.h"

uint8_t menu_active = 1, options_active = 0, story_active = 0;
char screen_text[200];
char title_notice[100];
char play_notice[100];

const char *const story_lines[STORY_LINE_COUNT] = {
    "STORY:",
    "Past the last charted beacon lies Quorvane, a drift of photon stars, moons and dead worlds.",
    "Its gravity runs so thick that no shot flies straight and no chart of it stays true for long.",
    "Two clans hold the edges of the drift: the Vey on the left rim and the Ossari on the right.",
    "For a hundred years they traded ore and quarrels across the field, and lately only quarrels.",
    "The elders have had enough, and the oldest law of Quorvane is called: the Duel of Captains.",
    "Each clan sends one ship with one cannon, and the drift itself decides where the ships stand.",
    "There is no armour and no shield out there. One clean hit breaks a hull and ends the round.",
    "The stars bend every shot. Pass too close to one and it swallows your round without a trace.",
    "Fire too hard and the shot sails off into the dark; too soft and it falls back on your deck.",
    "Captains fire in turn, as the law demands, and the rounds are counted aloud on both rims.",
    "Whoever takes the most rounds carries the drift, its trade lanes and its songs for a lifetime.",
    "Mind your angle, read the pull of the stars, and bring your clan home in glory, Captain.",
    "INSTRUCTIONS:",
    "Player 1 is the ship on the left of the screen. Player 2 is the ship on the right.",
    "The objective is to shoot the other player, before they shoot you. To accomplish this, one must",
    "choose the correct angle and power for their shot. There will be space bodies that have enough",
    "mass to have a gravitational effect on your bullets, you must adjust your angle and power",
    "accordingly. By default you must win the best of 5 rounds to win the game against your opponent.",
};

namespace {

int32_t key_down(int32_t code) { return keyboard_state[code] != 0; }

void draw_text(const char *text, int32_t x, int32_t y, uint32_t colour) {
    std::snprintf(screen_text, sizeof screen_text, "%s", text);
    gfx_draw_text(screen_text, x, y, colour, back_surface);
}

// About 7 pixels a character.
void draw_centred(const char *text, int32_t y) {
    if (!text || !text[0]) return;
    int32_t x = 320 - 7 * static_cast<int32_t>(std::strlen(text)) / 2;
    draw_text(text, x < 0 ? 0 : x, y, TEXT_RED);
}

void draw_status_line(void) {
    int32_t p = current_player;
    std::snprintf(screen_text, sizeof screen_text, "PLAYER:%i      ANGLE:%i      POWER:%i      SCORE:%i out of %i",
                  p + 1, angle[p], power[p], score[p], rounds_to_play);
    gfx_draw_text(screen_text, 10, 0, TEXT_GREEN, back_surface);
}

void move_cursor(float dy) {
    ship1.y += dy;
    ship2.y += dy;
}

void set_cursor(float y) {
    ship1.y = y;
    ship2.y = y;
}

// Up/Down on the menu screens; the pause slows a held key to a few items a second.
void cursor_keys(float lowest) {
    if (key_down(DIK_UP)) {
        if (ship1.y > 305.0f) move_cursor(-50.0f);
        game_pause(200);
    } else if (key_down(DIK_DOWN)) {
        if (ship1.y < lowest) move_cursor(50.0f);
        game_pause(200);
    }
}

void show_aim_frames(void) {
    ship1.frame = game_aim_frame(&ship1);
    ship2.frame = game_aim_frame(&ship2);
}

void draw_cursor_ships(void) {
    show_aim_frames();
    gfx_sprite_draw(&ship1, back_surface);
    gfx_sprite_draw(&ship2, back_surface);
}

void draw_bodies(void) {
    for (int32_t i = 0; i <= last_body_index; i++) {
        gfx_sprite_animate(&bodies[i]);
        gfx_sprite_draw(&bodies[i], back_surface);
    }
}

void draw_play_ships(void) {
    ship1.x = game_home_x(&ship1);
    ship1.y = game_home_y(&ship1);
    ship2.x = game_home_x(&ship2);
    ship2.y = game_home_y(&ship2);
    if (ship1_destroyed != 1) gfx_sprite_draw(&ship1, back_surface);
    if (ship2_destroyed != 1) gfx_sprite_draw(&ship2, back_surface);
}

// Locks the back surface and paints the backdrop; the caller unlocks.
uint8_t *draw_backdrop(const PixelImage *image) {
    uint8_t *memory = gfx_lock_back();
    if (memory) gfx_image_draw8(image, memory, back_pitch, 0);
    return memory;
}

// The title picture behind the menu and its two sub-screens, the stars behind play and win.
const PixelImage *backdrop_of(int32_t screen) {
    return screen == GAME_SCREEN_PLAY || screen == GAME_SCREEN_WIN ? &stars_image : &opening_image;
}

// The turrets a frame draws, as the round end found them: a ship's turret is drawn when the ship
// still stands as its side is settled (the left first), in the place it had then. So the frame
// that lays out a new round after the right ship's loss shows the left turret where it was.
struct FrameTurrets {
    int32_t count;
    PolygonShape shapes[2];
    Vertex2F vertices[2][4];
};

void keep_turret(FrameTurrets *turrets, const PolygonShape *turret) {
    int32_t n = turrets->count++;
    turrets->shapes[n] = *turret;
    if (!turret->vertices || turret->vertex_count > 4) return;
    for (int32_t v = 0; v < turret->vertex_count; v++) turrets->vertices[n][v] = turret->vertices[v];
    turrets->shapes[n].vertices = turrets->vertices[n];
}

// The winner of a round scores; the round is laid out anew unless that decides the match.
void credit_round(int32_t winner, uint8_t *won_flag, int32_t needed) {
    score[winner] += 1;
    if (score[winner] < needed) {
        game_destroy_bodies();
        game_new_round();
    } else if (!game_explosion_running()) {
        *won_flag = 1;
    }
}

// The round a ship went down in ends at the start of the next play frame: the owner of the
// other ship scores, and a new round is laid out or the match is won.
void play_round_end(FrameTurrets *turrets) {
    int32_t needed = (rounds_to_play + rounds_to_play % 2) / 2;
    if (ship1_destroyed == 0)
        keep_turret(turrets, &turret1);
    else
        credit_round(1, &player2_won, needed);
    if (ship2_destroyed == 0)
        keep_turret(turrets, &turret2);
    else
        credit_round(0, &player1_won, needed);
}

void draw_turrets(const FrameTurrets *turrets, uint8_t *memory) {
    if (!memory) return;
    for (int32_t i = 0; i < turrets->count; i++) gfx_draw_polygon8(&turrets->shapes[i], memory, back_pitch);
}

void explosion_frame(void) {
    game_update_particles();
    game_draw_particles();
    draw_bodies();
    draw_play_ships();
    draw_status_line();
    // After Escape the rest of the burst runs unseen and unpaced: the quit's fade starts at once,
    // and the particles end as they would have.
    if (!strm_escape_pending()) {
        gfx_flip();
        gfx_clock_wait(33);
    }
    gfx_clock_start();
    gfx_fill_surface(back_surface, 0, nullptr);
    draw_backdrop(&stars_image);
    gfx_unlock_back();
}

void play_explosion(void) {
    if (!game_explosion_running()) return;
    do explosion_frame();
    while (game_explosion_running());
    // No frame read keys during the explosion: taps made then must not act afterwards.
    strm_forget_taps();
}

void wrap_angles(void) {
    for (int32_t &a : angle) {
        if (a > 360)
            a = 1;
        else if (a < 1)
            a = 360;
    }
}

void draw_play_screen(void) {
    game_draw_shot();
    show_aim_frames();
    draw_bodies();
    draw_play_ships();
    draw_status_line();
    draw_centred(play_notice, 462);
}

// The round end and the turrets came before the keys were read; then aiming, flight, explosion, drawing.
void play_screen(void) {
    int32_t flying = shot.state == 1;
    uint32_t fired = shots_fired;
    if (!flying) game_turn_controls(); // aiming while no shot flies
    game_step_shot();                  // flight
    // A flight ended (the turn passed, or a ship went down and a round follows): the next turn
    // starts clean, even when it is the same seat's.
    if ((flying || shots_fired != fired) && shot.state != 1) strm_turn_begins();
    play_explosion();
    wrap_angles();
    draw_play_screen();
}

void options_screen(void) {
    game_keep_music(music_theme);
    cursor_keys(405.0f);
    if (key_down(DIK_RETURN)) {
        int32_t rounds = ship1.y == 305.0f ? 1 : ship1.y == 355.0f ? 3 : ship1.y == 405.0f ? 5 : 0;
        if (rounds) {
            game_pause(500);
            options_active = 0;
            set_cursor(305.0f);
            rounds_to_play = rounds;
        }
    }
    draw_cursor_ships();
    draw_text("Play the best of:", 275, 255, TEXT_RED);
    draw_text("1 Round", 290, 305, TEXT_RED);
    draw_text("3 Rounds", 290, 355, TEXT_RED);
    draw_text("5 Rounds", 290, 405, TEXT_RED);
}

void story_screen(void) {
    game_keep_music(music_theme);
    for (int32_t k = 0; k < STORY_LINE_COUNT; k++) draw_text(story_lines[k], 10, 195 + 15 * k, TEXT_RED);
    if (key_down(DIK_RETURN)) {
        game_pause(500);
        story_active = 0;
    }
}

void menu_screen(void) {
    game_keep_music(music_theme);
    cursor_keys(455.0f);
    if (key_down(DIK_RETURN)) {
        if (ship1.y == 305.0f) {
            game_pause(500);
            // Every match starts from 0 to 0.
            score[0] = score[1] = 0;
            game_destroy_bodies();
            game_new_round();
            menu_active = 0;
        } else if (ship1.y == 355.0f) {
            game_pause(500);
            options_active = 1;
            set_cursor(305.0f);
        } else if (ship1.y == 405.0f) {
            game_request_quit();
        } else if (ship1.y == 455.0f) {
            game_pause(500);
            story_active = 1;
            set_cursor(305.0f);
        }
    }
    draw_cursor_ships();
    draw_text("START GAME", 277, 305, TEXT_RED);
    draw_text("GAME OPTIONS", 268, 355, TEXT_RED);
    draw_text("QUIT", 303, 405, TEXT_RED);
    draw_text("INSTRUCTIONS", 269, 455, TEXT_RED);
    // Centred under the title, about 7 pixels a character.
    draw_centred(title_notice, 255);
}

void win_screen(void) {
    game_keep_music(music_victory);
    draw_text(player1_won == 1 ? "Player 1 Wins" : "Player 2 Wins", 275, 305, TEXT_RED);
    draw_text("Press [SPACEBAR] to return to menu", 267, 355, TEXT_RED);
    if (key_down(DIK_SPACE)) {
        game_destroy_bodies();
        game_new_round();
        menu_active = 1;
        ship1.x = 230.0f;
        ship1.y = 305.0f;
        ship2.x = 390.0f;
        ship2.y = 305.0f;
    }
}

} // namespace

void game_keep_music(int32_t id) {
    if (mus_status(id) == MUSIC_SLOT_STOPPED) mus_play(id);
}

int32_t game_current_screen(void) {
    if (menu_active == 0 && player1_won == 0 && player2_won == 0) return GAME_SCREEN_PLAY;
    if (options_active == 1) return GAME_SCREEN_OPTIONS;
    if (story_active == 1) return GAME_SCREEN_STORY;
    if (menu_active == 1) return GAME_SCREEN_MENU;
    return GAME_SCREEN_WIN;
}

int32_t game_frame(void) {
    gfx_clock_start();
    FrameTurrets turrets{};
    if (game_current_screen() == GAME_SCREEN_PLAY) {
        game_keep_music(music_battle);
        play_round_end(&turrets);
    }
    // Once per frame, after the round end: the frame that decides the match shows the win screen.
    int32_t screen = game_current_screen();
    gfx_fill_surface(back_surface, 0, nullptr);
    uint8_t *memory = draw_backdrop(backdrop_of(screen));
    draw_turrets(&turrets, memory);
    gfx_unlock_back();
    // The player in turn has the say over a play frame; the menus over the rest.
    int32_t seat = screen == GAME_SCREEN_PLAY ? static_cast<int32_t>(current_player) : STRM_SEAT_MENUS;
    if (seat != strm_current_seat()) strm_turn_begins();
    strm_read_keys(seat);

    switch (screen) {
    case GAME_SCREEN_PLAY: play_screen(); break;
    case GAME_SCREEN_OPTIONS: options_screen(); break;
    case GAME_SCREEN_STORY: story_screen(); break;
    case GAME_SCREEN_MENU: menu_screen(); break;
    default: win_screen(); break;
    }

    gfx_flip();
    gfx_clock_wait(33);
    if (strm_escape_test()) game_request_quit();
    return 1;
}

void game_draw_waiting(const char *first, const char *second) {
    if (!back_surface) gfx_display_init(640, 480, 8, 0, GAME_FILE_PALETTE);
    gfx_fill_surface(back_surface, 0, nullptr);
    draw_centred(first, 255);
    draw_centred(second, 285);
    gfx_flip();
}
