// Pieces shared by the backends; not for the library or the game.
#pragma once
#include <cstdint>
#include "platform/plat_system.h"
#include "platform/plat_video.h"

void plat_set_error(const char *text);
// backends: remembers the reason of a failure for plat_error.

void plat_queue_push(const PlatMessage &msg);
// backends: the window's messages (close, paint, focus) in arrival order.
void plat_queue_clear(void);

void plat_key_event(int32_t code, int32_t down);
// backends: a key went down or up; a press latches until the next keyboard read.
void plat_keys_clear(void);
// focus loss and reset: nothing is held any more.
int32_t plat_key_held(int32_t code);
// Escape test: the live state of one key.

const PlatColor *plat_palette_data(void);
// presenting: the 256 device colours.
void plat_backend_palette_changed(void);
// each backend: re-show the last presented frame in the new colours.
void plat_palette_reset(void);

void plat_text_shutdown(void);
// plat_shutdown: closes the font.

int plat_backend_escape_async(void);

extern int32_t plat_blind;
// common drawing code: 1 while the headless backend draws nothing (the simulator's speed);
// fills, blits and text do nothing, locks give null, presents show nothing and report 0,
// and music does not open (no SoundFont load).
// Escape test: a backend's own view of Escape beyond key events (headless scripting).
