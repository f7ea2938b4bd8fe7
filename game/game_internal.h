// Game-private helpers shared by the game's source files and its tests.
#pragma once
#include <cstdint>
#include "game/game.h"
#include "gfx/sprite.h"

// story screen, and the layout test.
constexpr int32_t STORY_LINE_COUNT = 19;
extern const char *const story_lines[STORY_LINE_COUNT];

// Ships and bodies: visible, cycling frames. The memory flag (the platform's system-memory
// surface flag) is what the sprites were always created with; the library ignores it.
constexpr uint32_t GAME_SPRITE_ATTR = SPRITE_ATTR_VISIBLE | SPRITE_ATTR_FRAME_CYCLE;
constexpr uint32_t GAME_SPRITE_MEMORY = 2048;

// set once the game has asked to end (Escape, QUIT, a close request): stops repeat fades.
extern uint8_t quit_requested;

// Escape, QUIT and a destroy that did not come from the game: post destroy, silence, fade once.
void game_request_quit(void);
// every caller of game_new_round, and shutdown: releases bodies 0..last_body_index.
void game_destroy_bodies(void);
// start-up and set-up: the ship's aim frame, and its home where it stands now.
void game_place_ship(SpriteObject *ship, int32_t aim_frame);
// the game's start-up, before game_init: one stderr line naming the working folder and the game
// files missing from it; returns how many are missing.
int32_t game_report_missing_files(void);
// start-up and set-up: shared_bitmap from a file; 1 only for a usable 8-bit picture.
int32_t game_load_picture(const char *name);
// every screen's frame: starts its piece again whenever it reads stopped.
void game_keep_music(int32_t id);

enum GameScreen : int32_t {
    GAME_SCREEN_PLAY = 0,
    GAME_SCREEN_OPTIONS,
    GAME_SCREEN_STORY,
    GAME_SCREEN_MENU,
    GAME_SCREEN_WIN
};
// The one place the five screen flags are read as a screen, one of GameScreen: PLAY when neither
// the menu nor a won flag is up; else OPTIONS, STORY, MENU by their flags; else WIN.
int32_t game_current_screen(void);
