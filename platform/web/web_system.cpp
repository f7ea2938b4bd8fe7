// The page as the game's window: keys from the document, the clock from performance.now()
// stopped while the tab is hidden or unfocused, and waits that hand the page back to the
// browser (emscripten_sleep under Asyncify) instead of spinning.
#include <emscripten.h>
#include <emscripten/html5.h>

#include <cstring>

#include "platform/plat_input.h"
#include "platform/plat_internal.h"
#include "platform/web/web_internal.h"

namespace {

int32_t window_open = 0;
int32_t destroy_posted = 0;
int32_t fast = 0;

// The frame clock: page time less the time the player was away.
double away_total = 0.0;
double away_since = -1.0; // page time the player left, or -1 while here
double virtual_now = 0.0; // the fast clock
double last_yield = 0.0;

struct KeyName {
    const char *code;
    int32_t dik;
};
// KeyboardEvent.code to the old scan codes (the keys a player may reach for).
const KeyName KEY_NAMES[] = {
    {"Escape", DIK_ESCAPE},
    {"Digit1", 2},
    {"Digit2", 3},
    {"Digit3", 4},
    {"Digit4", 5},
    {"Digit5", 6},
    {"Digit6", 7},
    {"Digit7", 8},
    {"Digit8", 9},
    {"Digit9", 10},
    {"Digit0", 11},
    {"Minus", 12},
    {"Equal", 13},
    {"Backspace", 14},
    {"Tab", 15},
    {"KeyQ", 16},
    {"KeyW", 17},
    {"KeyE", 18},
    {"KeyR", 19},
    {"KeyT", 20},
    {"KeyY", 21},
    {"KeyU", 22},
    {"KeyI", 23},
    {"KeyO", 24},
    {"KeyP", 25},
    {"BracketLeft", 26},
    {"BracketRight", 27},
    {"Enter", DIK_RETURN},
    {"ControlLeft", 29},
    {"KeyA", 30},
    {"KeyS", 31},
    {"KeyD", 32},
    {"KeyF", 33},
    {"KeyG", 34},
    {"KeyH", 35},
    {"KeyJ", 36},
    {"KeyK", 37},
    {"KeyL", 38},
    {"Semicolon", 39},
    {"Quote", 40},
    {"Backquote", 41},
    {"ShiftLeft", 42},
    {"Backslash", 43},
    {"KeyZ", 44},
    {"KeyX", 45},
    {"KeyC", 46},
    {"KeyV", 47},
    {"KeyB", 48},
    {"KeyN", 49},
    {"KeyM", 50},
    {"Comma", 51},
    {"Period", 52},
    {"Slash", 53},
    {"ShiftRight", 54},
    {"NumpadMultiply", 55},
    {"AltLeft", DIK_LALT},
    {"Space", DIK_SPACE},
    {"CapsLock", 58},
    {"NumpadSubtract", 74},
    {"NumpadAdd", 78},
    {"NumpadEnter", 156},
    {"ControlRight", 157},
    {"NumpadDivide", 181},
    {"AltRight", DIK_RALT},
    {"Home", 199},
    {"ArrowUp", DIK_UP},
    {"PageUp", 201},
    {"ArrowLeft", DIK_LEFT},
    {"ArrowRight", DIK_RIGHT},
    {"End", 207},
    {"ArrowDown", DIK_DOWN},
    {"PageDown", 209},
    {"Insert", 210},
    {"Delete", 211},
};

int32_t dik_of(const char *code) {
    for (const KeyName &k : KEY_NAMES)
        if (std::strcmp(k.code, code) == 0) return k.dik;
    return 0;
}

EM_BOOL on_key(int type, const EmscriptenKeyboardEvent *e, void *) {
    int32_t dik = dik_of(e->code);
    if (!dik) return EM_FALSE;
    int32_t down = type == EMSCRIPTEN_EVENT_KEYDOWN;
    // Alt+Enter is the page's full screen, never the game's Return.
    if (down && dik == DIK_RETURN && e->altKey) {
        if (!e->repeat) plat_window_set_fullscreen(!plat_window_is_fullscreen());
        return EM_TRUE;
    }
    if (!(down && e->repeat)) plat_key_event(dik, down);
    // The page must not scroll on the arrows and Space, nor leave on Backspace.
    return dik != DIK_LALT && dik != DIK_RALT;
}

double page_now(void) { return emscripten_get_now(); }

EM_BOOL on_blur(int, const EmscriptenFocusEvent *, void *) {
    web_focus_changed(0);
    return EM_FALSE;
}
EM_BOOL on_focus(int, const EmscriptenFocusEvent *, void *) {
    web_focus_changed(1);
    return EM_FALSE;
}
EM_BOOL on_visibility(int, const EmscriptenVisibilityChangeEvent *e, void *) {
    web_focus_changed(e->hidden ? 0 : 1);
    return EM_FALSE;
}

} // namespace

// The page asks for the window's close (its "quit" control); the game sees the close button.
extern "C" EMSCRIPTEN_KEEPALIVE void web_request_close(void) {
    if (!window_open || destroy_posted) return;
    destroy_posted = 1;
    plat_queue_push(PlatMessage{PLAT_MSG_DESTROY, 0, 0});
}

void web_focus_changed(int32_t focused) {
    if (!focused && away_since < 0) {
        away_since = page_now();
        plat_keys_clear(); // keys released while away would stay down forever
        plat_queue_push(PlatMessage{PLAT_MSG_ACTIVATE, 0, 0});
    } else if (focused && away_since >= 0) {
        away_total += page_now() - away_since;
        away_since = -1.0;
        plat_queue_push(PlatMessage{PLAT_MSG_ACTIVATE, 1, 0});
    }
}

void web_set_fast(int32_t on) {
    fast = on ? 1 : 0;
    virtual_now = 0.0;
    last_yield = page_now();
}
int32_t web_fast(void) { return fast; }

int plat_init(void) { return 1; }

void plat_shutdown(void) {
    plat_display_close();
    plat_window_close();
    plat_text_shutdown();
}

int plat_window_open(const char *, int32_t width, int32_t height, int32_t) {
    if (width <= 0 || height <= 0) {
        plat_set_error("window size must be positive");
        return 0;
    }
    const char *target = EMSCRIPTEN_EVENT_TARGET_DOCUMENT;
    emscripten_set_keydown_callback(target, nullptr, EM_TRUE, on_key);
    emscripten_set_keyup_callback(target, nullptr, EM_TRUE, on_key);
    emscripten_set_blur_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, on_blur);
    emscripten_set_focus_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, on_focus);
    emscripten_set_visibilitychange_callback(nullptr, EM_TRUE, on_visibility);
    window_open = 1;
    destroy_posted = 0;
    plat_queue_push(PlatMessage{PLAT_MSG_CREATE, 0, 0});
    return 1;
}

void plat_window_close(void) {
    if (!window_open) return;
    const char *target = EMSCRIPTEN_EVENT_TARGET_DOCUMENT;
    emscripten_set_keydown_callback(target, nullptr, EM_TRUE, nullptr);
    emscripten_set_keyup_callback(target, nullptr, EM_TRUE, nullptr);
    window_open = 0;
}

int plat_window_is_open(void) { return window_open; }

EM_JS(int, web_fullscreen_set, (int on), {
    var page = document.getElementById("screen-box") || Module["canvas"];
    if (on) {
        // Browsers grant full screen only to a key press or click (Alt+Enter, the page's button).
        if (navigator.userActivation && !navigator.userActivation.isActive) return 0;
        if (!document.fullscreenElement && page.requestFullscreen) page.requestFullscreen().catch(function(){});
    } else if (document.fullscreenElement && document.exitFullscreen) {
        document.exitFullscreen().catch(function(){});
    }
    return 1;
});
EM_JS(int, web_fullscreen_get, (void), { return document.fullscreenElement ? 1 : 0; });

int plat_window_set_fullscreen(int32_t fullscreen) {
    if (!window_open) return 0;
    return web_fullscreen_set(fullscreen ? 1 : 0);
}

int plat_window_is_fullscreen(void) { return window_open && web_fullscreen_get(); }

// Keys arrive through their callbacks while the game waits; there is no queue to drain.
void plat_pump_events(void) {}

EM_JS(void, web_cursor, (int show), {
    if (Module["canvas"]) Module["canvas"].style.cursor = show ? "" : "none";
});
void plat_cursor_show(int32_t show) { web_cursor(show); }

int plat_backend_escape_async(void) { return 0; }

// A page gets no signals; closing the tab ends it outright.
int32_t plat_quit_signal(void) { return 0; }

uint32_t plat_ticks(void) {
    if (fast) return static_cast<uint32_t>(static_cast<int64_t>(virtual_now));
    double now = away_since >= 0 ? away_since : page_now();
    return static_cast<uint32_t>(static_cast<int64_t>(now - away_total));
}

uint32_t plat_process_ms(void) { return plat_ticks(); }

// The page's tests read the frame clock.
extern "C" EMSCRIPTEN_KEEPALIVE uint32_t web_clock_ms(void) { return plat_ticks(); }

uint32_t plat_wait_ticks(uint32_t start, uint32_t ms) {
    if (fast) {
        uint32_t now = plat_ticks();
        if (now - start < ms) virtual_now += static_cast<double>(ms - (now - start));
        // A moment for the page now and then, so it stays alive and shows the replay.
        if (page_now() - last_yield > 200.0) {
            web_paint_pending();
            emscripten_sleep(0);
            last_yield = page_now();
        }
        return plat_ticks();
    }
    for (;;) {
        uint32_t now = plat_ticks();
        if (now - start >= ms) return now;
        // Short naps while the player is away: the clock stands still until they are back.
        uint32_t left = ms - (now - start);
        emscripten_sleep(left > 50 ? 50 : left);
    }
}

uint32_t plat_wait_process_ms(uint32_t start, uint32_t ms) { return plat_wait_ticks(start, ms); }
