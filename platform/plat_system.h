// Window, messages, time and the game's random generator.
// Backend-neutral interface; platform/sdl and platform/headless implement it.
#pragma once
#include <cstdint>

enum PlatMessageType : int32_t {
    PLAT_MSG_NONE = 0,
    PLAT_MSG_CREATE = 1,
    PLAT_MSG_PAINT = 2,
    PLAT_MSG_DESTROY = 3,
    PLAT_MSG_QUIT = 4,
    PLAT_MSG_ACTIVATE = 5, // wparam 1 gained focus, 0 lost it
};

struct PlatMessage {
    int32_t type;
    int32_t wparam;
    int32_t lparam;
};

// App entry point, once, before the window; 1 or 0 (reason in plat_error).
int plat_init(void);
// App entry point, once, after game_shutdown.
void plat_shutdown(void);
// Anyone after a 0 result: the last failure's reason, never null.
const char *plat_error(void);

// App entry point: the one game window (full screen = borderless, desktop-sized, scaled).
int plat_window_open(const char *title, int32_t width, int32_t height, int32_t fullscreen);
// plat_shutdown, and tests.
void plat_window_close(void);
// Display init: refuses to start without a window.
int plat_window_is_open(void);
// Display init (windowed flag) and the Alt+Enter toggle.
int plat_window_set_fullscreen(int32_t fullscreen);
// Tests and the Alt+Enter toggle.
int plat_window_is_fullscreen(void);

// App message loop: takes at most one pending message without waiting; 1 if one was taken.
int plat_message_peek(PlatMessage *out);
// The game's quit request (a destroy) and tests: queues a message behind those waiting.
int plat_message_post(int32_t type, int32_t wparam, int32_t lparam);
// Queues PLAT_MSG_QUIT carrying code.
void plat_message_post_quit(int32_t code);
// The window procedure for messages it does not handle, destroy included: a destroy becomes the
// quit message (code 0), so every way out of the game ends the loop the same way.
int32_t plat_message_default(const PlatMessage *msg);
// Peek, keyboard read and Escape test: drains the OS queue into key state and messages.
void plat_pump_events(void);

// Start-up hides the cursor for the run.
void plat_cursor_show(int32_t show);
// Frame quit test: 1 while Escape is held or once after it went down since the last test (a tap).
int plat_escape_down(void);
// App entry point, first: from now on SIGTERM, SIGINT and SIGHUP (unless ignored when the program
// started) ask the game to end: the pump posts the window's destroy, every wait returns at once.
void plat_catch_quit_signals(void);
// The signal that asked the game to end, 0 for none.
int32_t plat_quit_signal(void);

// Frame clock: milliseconds, steady, wrapping at 2^32.
uint32_t plat_ticks(void);
// game_pause: milliseconds since the process started (steady, not CPU time).
uint32_t plat_process_ms(void);
// Frame clock: sleeps until plat_ticks reads at least start + ms (modulo 2^32) and returns that
// reading; at once when it already does. The process sleeps instead of spinning.
uint32_t plat_wait_ticks(uint32_t start, uint32_t ms);
// game_pause: the same wait on plat_process_ms.
uint32_t plat_wait_process_ms(uint32_t start, uint32_t ms);

// Start-up and round set-up seed the game's numbers.
void plat_srand(uint32_t seed);
// Every random draw: state = state * 214013 + 2531011, result bits 16..30 (0..32767).
int32_t plat_rand(void);
// State hashes: the generator's state as it is now.
uint32_t plat_rand_state(void);
