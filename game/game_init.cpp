// Start-up, shutdown, the menu pause and the window procedure.
#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "audio/music.h"
#include "audio/sound.h"
#include "game/game.h"
#include "game/game_internal.h"
#include "gfx/bitmap.h"
#include "gfx/clock.h"
#include "gfx/display.h"
#include "gfx/palette.h"
#include "gfx/polygon.h"
#include "gfx/sprite.h"
#include "gfx/transition.h"
#include "input/input.h"
#include "platform/plat_system.h"
#include "stream/stream.h"

PixelImage stars_image, opening_image;
SpriteObject ship1, ship2;
int32_t music_theme = MUSIC_NONE, music_battle = MUSIC_NONE, music_victory = MUSIC_NONE;
int32_t cannon_sounds[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
int32_t explosion_sounds[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
uint8_t quit_requested = 0;

namespace {

constexpr int32_t SHIP_WIDTH = 22, SHIP_HEIGHT = 18, SHIP_FRAMES = 32;
// A pause looks for Escape this often.
constexpr uint32_t PAUSE_SLICE_MS = 10;

// A backdrop: its picture, and the palette it brings (only when the picture is good, so a
// missing file cannot black out the palette the display started with).
void load_backdrop(PixelImage *image, const char *name) {
    int32_t loaded = game_load_picture(name);
    gfx_image_create(image, 0, 0, 640, 480, 8);
    if (loaded) {
        gfx_image_load8(image, &shared_bitmap, 0, 0, 1);
        gfx_palette_set_all(shared_bitmap.palette);
    }
    gfx_bmp_unload(&shared_bitmap);
}

void load_ship_frames(SpriteObject *ship, int32_t loaded) {
    if (!loaded) return;
    for (int32_t i = 0; i < SHIP_FRAMES; i++) gfx_sprite_load_frame(ship, &shared_bitmap, i, i % 16, i / 16, 0);
}

} // namespace

int32_t game_init(void) {
    score[0] = score[1] = 0;
    plat_srand(strm_seed(gfx_clock_start()));
    gfx_display_init(640, 480, 8, 0, GAME_FILE_PALETTE);

    load_backdrop(&stars_image, GAME_FILE_STARS);
    load_backdrop(&opening_image, GAME_FILE_OPENING);

    int32_t ships_loaded = game_load_picture(GAME_FILE_SHIPS);
    gfx_sprite_create(&ship1, 230, 305, SHIP_WIDTH, SHIP_HEIGHT, SHIP_FRAMES, GAME_SPRITE_ATTR, GAME_SPRITE_MEMORY, 0,
                      8);
    gfx_sprite_create(&ship2, 390, 305, SHIP_WIDTH, SHIP_HEIGHT, SHIP_FRAMES, GAME_SPRITE_ATTR, GAME_SPRITE_MEMORY, 0,
                      8);
    game_place_ship(&ship1, 0);
    game_place_ship(&ship2, 8);
    load_ship_frames(&ship1, ships_loaded);
    load_ship_frames(&ship2, ships_loaded);
    gfx_bmp_unload(&shared_bitmap);

    inp_init();
    inp_keyboard_init();
    snd_init();
    mus_init();

    music_theme = mus_load_midi(GAME_FILE_THEME);
    music_battle = mus_load_midi(GAME_FILE_BATTLE);
    music_victory = mus_load_midi(GAME_FILE_VICTORY);

    cannon_sounds[0] = snd_load_wav(GAME_FILE_CANNON, SOUND_CAPS_EFFECT);
    explosion_sounds[0] = snd_load_wav(GAME_FILE_EXPLOSION, SOUND_CAPS_EFFECT);
    for (int32_t i = 1; i < 8; i++) cannon_sounds[i] = snd_replicate(cannon_sounds[0]);
    for (int32_t i = 1; i < 8; i++) explosion_sounds[i] = snd_replicate(explosion_sounds[0]);

    game_reset_shot();
    shots_fired = 0;
    plat_cursor_show(0);
    gfx_build_trig_tables();
    quit_requested = 0;
    return 1;
}

int32_t game_shutdown(void) {
    gfx_sprite_destroy(&ship1);
    gfx_sprite_destroy(&ship2);
    ship1 = SpriteObject{};
    ship2 = SpriteObject{};
    game_destroy_bodies();
    // The backdrops go too, so a run that starts the game again (the tests) leaks nothing.
    gfx_image_destroy(&stars_image);
    gfx_image_destroy(&opening_image);
    gfx_display_shutdown();
    snd_stop_all();
    snd_delete_all();
    snd_shutdown();
    mus_shutdown();
    mus_delete_all();
    inp_shutdown();
    return 1;
}

void game_pause(int32_t ms) {
    if (ms <= 0) return;
    // Escape cuts a pause short, so the quit's fade starts at once; the pause changes nothing else.
    // Each slice waits to an absolute deadline from one start and reads no clock of its own, so a
    // clock that jumps to each deadline (the simulator's) ends where one whole wait would.
    uint32_t start = plat_process_ms();
    uint32_t total = static_cast<uint32_t>(ms);
    for (uint32_t now = start; now - start < total && !strm_escape_pending();)
        now = plat_wait_process_ms(start, std::min(total, now - start + PAUSE_SLICE_MS));
    // Keys tapped during the pause are not read by any frame: they must not act afterwards.
    strm_forget_taps();
}

// Every way out (Escape, QUIT, the close button, a signal) ends here once: sounds stop, the screen
// fades. Not after a signal: log-out or Ctrl+C wants the game gone at once, and nobody watches.
static void quit_once(void) {
    if (quit_requested) return;
    quit_requested = 1;
    snd_stop_all();
    if (!plat_quit_signal()) gfx_screen_transition(TRANSITION_FADE_BLACK, nullptr, 0);
}

void game_request_quit(void) {
    if (quit_requested) return;
    plat_message_post(PLAT_MSG_DESTROY, 0, 0);
    quit_once();
}

int32_t game_window_proc(const PlatMessage *msg) {
    if (!msg) return 0;
    switch (msg->type) {
    case PLAT_MSG_CREATE:
    case PLAT_MSG_PAINT: return 0;
    case PLAT_MSG_DESTROY:
        quit_once();                      // a close button or a signal ends the game the way Escape does
        return plat_message_default(msg); // which turns the destroy into the quit message
    default: return plat_message_default(msg);
    }
}
