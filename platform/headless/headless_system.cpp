// Headless system: no window to close, a virtual clock that tests drive, and
// scripted keys. Busy waits end at once because every clock read moves time on.
#include <cstring>

#include "platform/headless/headless_internal.h"
#include "platform/plat_headless.h"
#include "platform/plat_input.h"
#include "platform/plat_internal.h"

static uint32_t virtual_now = 0;
static uint32_t auto_step = 1;
static int32_t window_open = 0;
static int32_t window_fullscreen = 0;
static int32_t escape_forced = 0;
static void (*wait_hook)(void) = nullptr;

int plat_init(void) { return 1; }

void plat_shutdown(void) {
    plat_window_close();
    plat_text_shutdown();
}

int plat_window_open(const char *, int32_t width, int32_t height, int32_t fullscreen) {
    if (width <= 0 || height <= 0) {
        plat_set_error("window size must be positive");
        return 0;
    }
    window_open = 1;
    window_fullscreen = fullscreen ? 1 : 0;
    plat_queue_push(PlatMessage{PLAT_MSG_CREATE, 0, 0});
    return 1;
}

void plat_window_close(void) { window_open = 0; }
int plat_window_is_open(void) { return window_open; }

int plat_window_set_fullscreen(int32_t fullscreen) {
    if (!window_open) return 0;
    window_fullscreen = fullscreen ? 1 : 0;
    return 1;
}

int plat_window_is_fullscreen(void) { return window_fullscreen; }
void plat_pump_events(void) {}
void plat_cursor_show(int32_t) {}
// The simulator keeps the signals' default actions.
void plat_catch_quit_signals(void) {}
int32_t plat_quit_signal(void) { return 0; }

uint32_t plat_ticks(void) {
    uint32_t t = virtual_now;
    virtual_now += auto_step;
    return t;
}

uint32_t plat_process_ms(void) { return plat_ticks(); }

// Waits end at once: the virtual clock jumps to the deadline.
uint32_t plat_wait_ticks(uint32_t start, uint32_t ms) {
    uint32_t now = plat_ticks();
    if (now - start >= ms) return now;
    virtual_now = start + ms;
    if (wait_hook) wait_hook();
    return plat_ticks();
}

uint32_t plat_wait_process_ms(uint32_t start, uint32_t ms) { return plat_wait_ticks(start, ms); }

void plat_headless_reset(void) {
    virtual_now = 0;
    auto_step = 1;
    escape_forced = 0;
    plat_blind = 0;
    wait_hook = nullptr;
    plat_keys_clear();
    plat_queue_clear();
    plat_headless_video_reset();
}

void plat_headless_set_ticks(uint32_t ticks) { virtual_now = ticks; }
void plat_headless_advance(uint32_t ms) { virtual_now += ms; }
void plat_headless_set_auto_advance(uint32_t ms_per_read) { auto_step = ms_per_read; }
uint32_t plat_headless_now(void) { return virtual_now; }
void plat_headless_set_wait_hook(void (*hook)(void)) { wait_hook = hook; }

void plat_headless_set_key(int32_t code, int32_t down) {
    plat_key_event(code, down);
    if (code == DIK_ESCAPE) escape_forced = 0;
}

void plat_headless_tap_key(int32_t code) {
    plat_key_event(code, 1);
    plat_key_event(code, 0);
}

void plat_headless_set_blind(int32_t blind) { plat_blind = blind ? 1 : 0; }

void plat_headless_set_escape(int32_t down) { escape_forced = down ? 1 : 0; }

int plat_backend_escape_async(void) { return escape_forced; }
