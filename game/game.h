// The game: screens, match state, aiming, shots, particles.
#pragma once
#include <cstdint>
#include "game/game_files.h"
#include "game/game_flight.h"
#include "gfx/bitmap.h"
#include "gfx/polygon.h"
#include "gfx/sprite.h"

// ---- shell (app/ and game/game_init.cpp) ----
extern BmpFile shared_bitmap;
extern PixelImage stars_image, opening_image;
extern SpriteObject ship1, ship2;
extern int32_t music_theme, music_battle, music_victory;
extern int32_t cannon_sounds[8], explosion_sounds[8];

// app entry point, once the window exists.
int32_t game_init(void);
// app message loop, once per pass.
int32_t game_frame(void);
// Before game_init, while a join reaches the other side: a black screen with up to two lines
// (null for none) centred in the title's text. Opens the display the first time.
void game_draw_waiting(const char *first, const char *second);
// app entry point, after the quit message.
int32_t game_shutdown(void);
// menu screens: waits ms on the process clock; keys tapped meanwhile are dropped.
void game_pause(int32_t ms);
// app message loop: handles paint and destroy, the rest goes to the platform default.
int32_t game_window_proc(const struct PlatMessage *msg);

// ---- screens ----
extern uint8_t menu_active, options_active, story_active;
extern char screen_text[200];
// online play: a line for the player on the title menu (waiting, who left); "" for none.
extern char title_notice[100];
// online play: a line under the match while it runs (watching a room); "" for none.
extern char play_notice[100];

// ---- match state ----
enum BodyKind : int32_t {
    BODY_PHOTON = 0,
    BODY_MOON = 1,
    BODY_EARTH = 2
};
constexpr int32_t BODY_MIN_SEPARATION = 50;
constexpr int32_t BODY_SEPARATION_TRIES = 1000;

extern uint8_t current_player;
extern int32_t angle[2], power[2], score[2];
extern int32_t rounds_to_play;
extern uint8_t ship1_destroyed, ship2_destroyed, player1_won, player2_won;
extern int32_t last_body_index;
extern SpriteObject bodies[3];
extern PolygonShape turret1, turret2;

// The sprites' spare variables as the game uses them. A ship's aim frame (0..15, the direction
// frame that shows its facing) is its integer variable 0.
inline int32_t game_aim_frame(const SpriteObject *ship) { return ship->int_vars[0]; }
inline void game_set_aim_frame(SpriteObject *ship, int32_t frame) { ship->int_vars[0] = frame; }
// A body's size (the side of its hit box and its mass term) is its integer variable 0.
inline int32_t game_body_size(const SpriteObject *body) { return body->int_vars[0]; }
inline void game_set_body_size(SpriteObject *body, int32_t size) { body->int_vars[0] = size; }
// A ship's or body's home position (where set-up placed it; the hit tests use it) is its float
// variables 2 and 3.
inline float game_home_x(const SpriteObject *sprite) { return sprite->float_vars[2]; }
inline float game_home_y(const SpriteObject *sprite) { return sprite->float_vars[3]; }
inline void game_set_home(SpriteObject *sprite, float x, float y) {
    sprite->float_vars[2] = x;
    sprite->float_vars[3] = y;
}

// START GAME, a round that does not decide the match, leaving the win screen: a new layout, the
// turn and aim reset. The caller destroys the last round's bodies first (game_destroy_bodies).
void game_new_round(void);
// replays and online play: a hash of everything that decides what happens next
// (match state, layout, shot, screen flags, the random generator's state).
uint64_t game_state_hash(void);

// ---- aiming ----
constexpr int32_t ANGLE_STEP = 1, POWER_STEP = 5, POWER_MAX = 1000, POWER_MIN_LIMIT = 1;
constexpr int32_t DIRECTION_FRAMES = 16;
constexpr double DIRECTION_STEP = 22.5; // degrees between neighbouring aim frames
// play frames with no shot in flight: turning, power and firing for the player in turn.
void game_turn_controls(void);

// ---- shot ----
extern Shot shot;
extern uint32_t shots_fired; // since start-up: replays report it

void game_reset_shot(void);
// Any time: the round's layout as the rules of flight see it, read from the sprites.
void game_read_layout(FlightLayout *layout);
void game_fire_shot(int32_t angle_degrees, float speed);
// one flight step per play frame.
void game_step_shot(void);
void game_draw_shot(void);
void game_play_cannon(void);
void game_play_explosion(void);

// ---- particles ----
struct Particle {
    int32_t state, kind;
    float x, y, vx, vy;
    int32_t colour, colour_min, colour_max;
    int32_t counter, life;
};
constexpr int32_t PARTICLE_COUNT = 3000;
constexpr int32_t PARTICLE_FLICKER = 0, PARTICLE_STEADY = 1;
constexpr int32_t EXPLOSION_PARTICLES = 200, EXPLOSION_LIFE = 20;
extern Particle particles[PARTICLE_COUNT];

void game_spawn_particle(int32_t kind, int32_t colour_class, int32_t life, int32_t x, int32_t y, int32_t vx,
                         int32_t vy);
void game_burst_particles(int32_t kind, int32_t colour_class, int32_t life, int32_t x, int32_t y, int32_t vx0,
                          int32_t vy0, int32_t count);
void game_ring_particles(int32_t kind, int32_t colour_class, int32_t life, int32_t x, int32_t y, int32_t vx0,
                         int32_t vy0, int32_t count);
void game_update_particles(void);
void game_draw_particles(void);
void game_reset_particles(void);
// The explosion sequence lasts while entry 0 lives: a burst into an idle table starts there and
// its particles all die together.
int32_t game_explosion_running(void);
