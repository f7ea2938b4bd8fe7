// Game-private helpers shared by the game's source files and its tests.
#pragma once
#include <cstdint>
#include "game/game.h"

constexpr int32_t STORY_LINE_COUNT = 19;
extern const char *const story_lines[STORY_LINE_COUNT];
// story screen, and the layout test.

extern uint8_t quit_requested;
// set once the game has asked to end (Escape, QUIT, a close request): stops repeat fades.

void game_request_quit(void);
// Escape, QUIT and a destroy that did not come from the game: post destroy, silence, fade once.
void game_destroy_bodies(void);
// every caller of game_new_round, and shutdown: releases bodies 0..last_body_index.
int32_t game_report_missing_files(void);
// the game's start-up, before game_init: one stderr line naming the working folder and the game files missing from it;
// returns how many are missing.
int32_t game_load_picture(const char *name);
// start-up and set-up: shared_bitmap from a file; 1 only for a usable 8-bit picture.
void game_keep_music(int32_t id);
// every screen's frame: starts its piece again whenever it reads stopped.
int32_t game_current_screen(void);
// frame: which screen the flags select now, one of the GAME_SCREEN_ values.

enum GameScreen : int32_t {
    GAME_SCREEN_PLAY = 0,
    GAME_SCREEN_OPTIONS,
    GAME_SCREEN_STORY,
    GAME_SCREEN_MENU,
    GAME_SCREEN_WIN
};
