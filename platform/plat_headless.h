// Test controls of the headless backend: virtual clock, scripted keys, captured frames.
#pragma once
#include <cstdint>
#include "platform/plat_video.h"

// Tests, between cases: clock 0, no keys, no frames, message queue empty.
void plat_headless_reset(void);

// The virtual clock: set, moved on, or read without moving it.
void plat_headless_set_ticks(uint32_t ticks);
void plat_headless_advance(uint32_t ms);
// Every plat_ticks/plat_process_ms read moves the clock on by this much (default 1),
// so busy waits end at once in real time.
void plat_headless_set_auto_advance(uint32_t ms_per_read);
uint32_t plat_headless_now(void);
// Tests: called whenever a wait has to jump the clock (frame waits, pauses), so keys can be
// scripted inside stretches the game spends waiting; null removes it.
void plat_headless_set_wait_hook(void (*hook)(void));

// Scripted keyboard: the key is held (down 1) or released (down 0).
void plat_headless_set_key(int32_t code, int32_t down);
// Pressed and released before the next read: must still read as down once.
void plat_headless_tap_key(int32_t code);
// The asynchronous Escape state alone.
void plat_headless_set_escape(int32_t down);

// The simulator: draw nothing at all (no pixels, text or presents) and open no music, for
// speed; the game's rules run the same. Reset turns it off.
void plat_headless_set_blind(int32_t blind);

// Presented frames since reset.
int32_t plat_headless_frame_count(void);
// Tests: called after every captured frame, to see frames shown inside one game call; null stops.
void plat_headless_on_present(void (*hook)(void));
// Last presented frame as 8-bit indices, width*height, tightly packed; null before any.
const uint8_t *plat_headless_frame_pixels(void);
int32_t plat_headless_frame_width(void);
int32_t plat_headless_frame_height(void);
// The 256 colours that frame is shown with now (palette changes apply to it).
const PlatColor *plat_headless_frame_palette(void);
// 0x00RRGGBB of a pixel of the last frame as shown.
uint32_t plat_headless_frame_rgb(int32_t x, int32_t y);
// The last frame as an 8-bit BMP (the asset generator's writer); 1, or 0 without an 8-bit frame or
// when the file cannot be written.
int plat_headless_save_bmp(const char *path);

// Tests: the next plat_music_open loads the SoundFont on a thread, as on a real device (default 0).
void plat_headless_set_music_background(int on);
