// Pieces shared by the backends; not for the library or the game.
#pragma once
#include <cstdint>
#include "platform/plat_system.h"
#include "platform/plat_video.h"

// Backends: remembers the reason of a failure for plat_error.
void plat_set_error(const char *text);
// Backends without a window of their own: 1 for a display they can show (8 or 16 bits per pixel),
// else 0 with the error set.
int32_t plat_display_mode_ok(int32_t width, int32_t height, int32_t bpp);

// Backends: the window's messages (close, paint, focus) in arrival order.
void plat_queue_push(const PlatMessage &msg);
// Reset: no message waits any more.
void plat_queue_clear(void);

// Backends: a key went down or up; a press latches until the next keyboard read.
void plat_key_event(int32_t code, int32_t down);
// Focus loss and reset: nothing is held any more.
void plat_keys_clear(void);
// Escape test and the Alt+Enter check: the live state of one key.
int32_t plat_key_held(int32_t code);

// Presenting: the 256 device colours.
const PlatColor *plat_palette_data(void);
// Each backend: re-show the last presented frame in the new colours.
void plat_backend_palette_changed(void);
// Headless reset: every device colour black.
void plat_palette_reset(void);

// plat_shutdown: closes the font.
void plat_text_shutdown(void);

// Escape test: a backend's own view of Escape beyond key events (headless scripting).
int plat_backend_escape_async(void);

// Common drawing code: 1 while the headless backend draws nothing (the simulator's speed);
// fills, blits and text do nothing, locks give null, presents show nothing and report 0,
// and music does not open (no SoundFont load).
extern int32_t plat_blind;
