// SDL window, event pump, clocks. Key events (not polled state) build the key
// array, so taps that fall between two frames are still seen.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <pthread.h>

#include "platform/plat_input.h"
#include "platform/plat_internal.h"
#include "platform/sdl/sdl_internal.h"

static SDL_Window *main_window = nullptr; // the one game window
static int32_t fullscreen_on = 0;
static int32_t destroy_posted = 0;
static int32_t return_of_toggle = 0; // Return went down as part of Alt+Enter and is not up yet
static int32_t toggle_done = 0;
static uint32_t last_toggle = 0; // SDL ticks of the last Alt+Enter
static int32_t logical_w = 640, logical_h = 480;

SDL_Window *sdl_window(void) { return main_window; }

SdlSystemHooks sdl_system_hooks;

// Drivers that show nothing: only when asked for, or the game would run unseen.
static int invisible_driver(const char *name) {
    return name && (SDL_strcmp(name, "offscreen") == 0 || SDL_strcmp(name, "dummy") == 0);
}

// Start-up work the game has no use for, skipped unless the user set these. The game takes no
// text, so X's compose table (parsed at every start, about 10 ms) is not needed. With no session
// bus, libdbus would fork to autolaunch one for SDL's input-method and screensaver look-ups,
// which could find nothing on a fresh bus anyway.
static void skip_unused_services(void) {
    setenv("XCOMPOSEFILE", "/dev/null", 0);
    setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 0);
}

// Log-out, a closed terminal, Ctrl+C and kill end the game at once, through its normal shutdown
// (the recording is saved), without the quit fade nobody waits to watch. The handler only notes
// the signal: the waits see it and return, the pump turns it into the window's destroy.
static volatile sig_atomic_t quit_signal = 0;
static pthread_t main_thread;

static void on_quit_signal(int sig) {
    int saved = errno;
    if (!quit_signal) quit_signal = sig;
    // Taken by another thread it would not cut the main thread's sleep short: hand it on.
    if (!pthread_equal(pthread_self(), main_thread)) pthread_kill(main_thread, sig);
    errno = saved;
}

void plat_catch_quit_signals(void) {
    main_thread = pthread_self();
    struct sigaction sa {};
    sa.sa_handler = on_quit_signal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART; // reads and writes carry on; sleeps and polls return early
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction old {};
        // A signal ignored by whoever started us (nohup, a background job) stays ignored.
        if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
        sigaction(sig, &sa, nullptr);
    }
}

int32_t plat_quit_signal(void) { return quit_signal; }

// Says which display could not be opened, so a wrong DISPLAY is seen at once; why: SDL's reason
// when it gave one.
static void say_no_display(const char *x_display, const char *why) {
    const char *wayland = SDL_getenv("WAYLAND_DISPLAY");
    char where[300];
    if (x_display && *x_display && wayland && *wayland)
        SDL_snprintf(where, sizeof where, "cannot open display %s nor Wayland display %s", x_display, wayland);
    else if (x_display && *x_display)
        SDL_snprintf(where, sizeof where, "cannot open display %s", x_display);
    else if (wayland && *wayland)
        SDL_snprintf(where, sizeof where, "cannot open Wayland display %s", wayland);
    else
        SDL_snprintf(where, sizeof where, "no display to show the game on: neither DISPLAY nor WAYLAND_DISPLAY is set");
    char text[600];
    SDL_snprintf(text, sizeof text, "%s%s%s; SDL_VIDEODRIVER=dummy runs the game without one", where,
                 why && *why ? ": " : "", why && *why ? why : "");
    plat_set_error(text);
}

int plat_init(void) {
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1"); // the game catches its own (above)
    skip_unused_services();
    const char *asked = SDL_getenv("SDL_VIDEODRIVER");
    const char *x_display = SDL_getenv("DISPLAY");
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
        if (asked && *asked)
            plat_set_error(SDL_GetError());
        else
            say_no_display(x_display, SDL_GetError());
        return 0;
    }
    // An X server named by DISPLAY that is still starting (a session just begun, a test's Xvfb)
    // can refuse the first connection: give it a second before calling the display absent.
    if (invisible_driver(SDL_GetCurrentVideoDriver()) && !(asked && *asked) && x_display && *x_display) {
        int connected = 0;
        for (int tries = 0; tries < 20 && !connected && !quit_signal; tries++) {
            SDL_VideoQuit();
            SDL_Delay(50);
            connected = SDL_VideoInit("x11") == 0;
        }
        if (!connected) SDL_VideoInit(nullptr); // what SDL picks by itself, for the test below
    }
    if (invisible_driver(SDL_GetCurrentVideoDriver()) && !(asked && *asked)) {
        say_no_display(x_display, nullptr);
        SDL_Quit();
        return 0;
    }
    return 1;
}

void plat_shutdown(void) {
    if (sdl_system_hooks.shutting_down) sdl_system_hooks.shutting_down();
    plat_window_close();
    plat_text_shutdown();
    SDL_Quit();
}

static void centre_windowed(void) {
    int index = SDL_GetWindowDisplayIndex(main_window);
    if (index < 0) index = 0;
    SDL_SetWindowSize(main_window, logical_w, logical_h);
    SDL_SetWindowPosition(main_window, SDL_WINDOWPOS_CENTERED_DISPLAY(index), SDL_WINDOWPOS_CENTERED_DISPLAY(index));
}

// Under a window manager full screen is the manager's own full-screen state, which covers the
// screen exactly; without one it is a borderless window over the whole display (SDL's full-screen
// modes fail there, and nobody moves the window for us).
static void apply_mode(void) {
    if (!main_window) return;
    if (!sdl_x11_is_x11(main_window) || sdl_x11_has_window_manager(main_window)) {
        if (fullscreen_on) {
            SDL_SetWindowFullscreen(main_window, SDL_WINDOW_FULLSCREEN_DESKTOP);
        } else {
            SDL_SetWindowFullscreen(main_window, 0);
            SDL_SetWindowBordered(main_window, SDL_TRUE);
            centre_windowed();
        }
    } else {
        int index = SDL_GetWindowDisplayIndex(main_window);
        SDL_Rect bounds;
        if (index < 0 || SDL_GetDisplayBounds(index, &bounds) != 0) bounds = SDL_Rect{0, 0, logical_w, logical_h};
        if (SDL_GetWindowFlags(main_window) & SDL_WINDOW_FULLSCREEN) SDL_SetWindowFullscreen(main_window, 0);
        if (fullscreen_on) {
            SDL_SetWindowBordered(main_window, SDL_FALSE);
            SDL_SetWindowPosition(main_window, bounds.x, bounds.y);
            SDL_SetWindowSize(main_window, bounds.w, bounds.h);
            SDL_SetWindowPosition(main_window, bounds.x, bounds.y);
        } else {
            SDL_SetWindowBordered(main_window, SDL_TRUE);
            centre_windowed();
        }
    }
    if (SDL_GetWindowFlags(main_window) & SDL_WINDOW_SHOWN) SDL_RaiseWindow(main_window);
    if (sdl_system_hooks.window_changed) sdl_system_hooks.window_changed();
}

int plat_window_open(const char *title, int32_t width, int32_t height, int32_t fullscreen) {
    if (main_window) return 1;
    logical_w = width;
    logical_h = height;
    // Created hidden at its final place and size, put in its mode, then shown: the window is
    // mapped once, and without a window manager a later move of a fresh window may never reach
    // the X server.
    SDL_Rect rect{static_cast<int>(SDL_WINDOWPOS_CENTERED), static_cast<int>(SDL_WINDOWPOS_CENTERED), width, height};
    uint32_t flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI;
    SDL_Rect bounds;
    if (fullscreen && SDL_GetDisplayBounds(0, &bounds) == 0) {
        rect = bounds;
        flags |= SDL_WINDOW_BORDERLESS;
    }
    main_window = SDL_CreateWindow(title ? title : "", rect.x, rect.y, rect.w, rect.h, flags);
    if (!main_window) {
        plat_set_error(SDL_GetError());
        return 0;
    }
    SDL_SetWindowMinimumSize(main_window, width, height); // maximised or dragged larger, it scales
    destroy_posted = 0;
    fullscreen_on = fullscreen ? 1 : 0;
    if (fullscreen_on) apply_mode();
    SDL_ShowWindow(main_window);
    plat_queue_push(PlatMessage{PLAT_MSG_CREATE, 0, 0});
    return 1;
}

void plat_window_close(void) {
    if (main_window) SDL_DestroyWindow(main_window);
    main_window = nullptr;
}

int plat_window_is_open(void) { return main_window != nullptr; }

int plat_window_set_fullscreen(int32_t fullscreen) {
    if (!main_window) return 0;
    if ((fullscreen ? 1 : 0) != fullscreen_on) {
        fullscreen_on = fullscreen ? 1 : 0;
        apply_mode();
    }
    return 1;
}

int plat_window_is_fullscreen(void) { return fullscreen_on; }

static int32_t dik_from_scancode(SDL_Scancode sc) {
    if (sc >= SDL_SCANCODE_A && sc <= SDL_SCANCODE_Z) {
        static const uint8_t letters[26] = {30, 48, 46, 32, 18, 33, 34, 35, 23, 36, 37, 38, 50,
                                            49, 24, 25, 16, 19, 31, 20, 22, 47, 17, 45, 21, 44};
        return letters[sc - SDL_SCANCODE_A];
    }
    if (sc >= SDL_SCANCODE_1 && sc <= SDL_SCANCODE_0) return 2 + (sc - SDL_SCANCODE_1);
    if (sc >= SDL_SCANCODE_F1 && sc <= SDL_SCANCODE_F10) return 59 + (sc - SDL_SCANCODE_F1);
    switch (sc) {
    case SDL_SCANCODE_ESCAPE: return DIK_ESCAPE;
    case SDL_SCANCODE_MINUS: return 12;
    case SDL_SCANCODE_EQUALS: return 13;
    case SDL_SCANCODE_BACKSPACE: return 14;
    case SDL_SCANCODE_TAB: return 15;
    case SDL_SCANCODE_LEFTBRACKET: return 26;
    case SDL_SCANCODE_RIGHTBRACKET: return 27;
    case SDL_SCANCODE_RETURN: return DIK_RETURN;
    case SDL_SCANCODE_LCTRL: return 29;
    case SDL_SCANCODE_SEMICOLON: return 39;
    case SDL_SCANCODE_APOSTROPHE: return 40;
    case SDL_SCANCODE_GRAVE: return 41;
    case SDL_SCANCODE_LSHIFT: return 42;
    case SDL_SCANCODE_BACKSLASH: return 43;
    case SDL_SCANCODE_COMMA: return 51;
    case SDL_SCANCODE_PERIOD: return 52;
    case SDL_SCANCODE_SLASH: return 53;
    case SDL_SCANCODE_RSHIFT: return 54;
    case SDL_SCANCODE_KP_MULTIPLY: return 55;
    case SDL_SCANCODE_LALT: return DIK_LALT;
    case SDL_SCANCODE_SPACE: return DIK_SPACE;
    case SDL_SCANCODE_CAPSLOCK: return 58;
    case SDL_SCANCODE_NUMLOCKCLEAR: return 69;
    case SDL_SCANCODE_SCROLLLOCK: return 70;
    case SDL_SCANCODE_KP_7: return 71;
    case SDL_SCANCODE_KP_8: return 72;
    case SDL_SCANCODE_KP_9: return 73;
    case SDL_SCANCODE_KP_MINUS: return 74;
    case SDL_SCANCODE_KP_4: return 75;
    case SDL_SCANCODE_KP_5: return 76;
    case SDL_SCANCODE_KP_6: return 77;
    case SDL_SCANCODE_KP_PLUS: return 78;
    case SDL_SCANCODE_KP_1: return 79;
    case SDL_SCANCODE_KP_2: return 80;
    case SDL_SCANCODE_KP_3: return 81;
    case SDL_SCANCODE_KP_0: return 82;
    case SDL_SCANCODE_KP_PERIOD: return 83;
    case SDL_SCANCODE_NONUSBACKSLASH: return 86;
    case SDL_SCANCODE_F11: return 87;
    case SDL_SCANCODE_F12: return 88;
    case SDL_SCANCODE_KP_ENTER: return 156;
    case SDL_SCANCODE_RCTRL: return 157;
    case SDL_SCANCODE_KP_DIVIDE: return 181;
    case SDL_SCANCODE_PRINTSCREEN: return 183;
    case SDL_SCANCODE_RALT: return DIK_RALT;
    case SDL_SCANCODE_PAUSE: return 197;
    case SDL_SCANCODE_HOME: return 199;
    case SDL_SCANCODE_UP: return DIK_UP;
    case SDL_SCANCODE_PAGEUP: return 201;
    case SDL_SCANCODE_LEFT: return DIK_LEFT;
    case SDL_SCANCODE_RIGHT: return DIK_RIGHT;
    case SDL_SCANCODE_END: return 207;
    case SDL_SCANCODE_DOWN: return DIK_DOWN;
    case SDL_SCANCODE_PAGEDOWN: return 209;
    case SDL_SCANCODE_INSERT: return 210;
    case SDL_SCANCODE_DELETE: return 211;
    case SDL_SCANCODE_LGUI: return 219;
    case SDL_SCANCODE_RGUI: return 220;
    case SDL_SCANCODE_APPLICATION: return 221;
    default: return 0;
    }
}

static void post_destroy_once(void) {
    if (destroy_posted) return;
    destroy_posted = 1;
    plat_queue_push(PlatMessage{PLAT_MSG_DESTROY, 0, 0});
}

// Asking the window system for events costs system calls: a frame reads keys several times, so
// it is asked at most once a millisecond. Pads, when there are any, are read every time, and
// events already in SDL's queue are always taken.
static uint32_t last_pump_ms = 0;
static int32_t pumped_once = 0;

void plat_pump_events(void) {
    if (quit_signal) post_destroy_once();
    if (sdl_system_hooks.taking_events) sdl_system_hooks.taking_events();
    uint32_t now = plat_ticks();
    if (!pumped_once || now != last_pump_ms) {
        SDL_PumpEvents();
        last_pump_ms = now;
        pumped_once = 1;
    } else if (SDL_NumJoysticks() > 0) {
        SDL_JoystickUpdate();
    }
    SDL_Event ev;
    while (SDL_PeepEvents(&ev, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) {
        switch (ev.type) {
        case SDL_QUIT: post_destroy_once(); break;
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            bool down = ev.type == SDL_KEYDOWN;
            if (ev.key.keysym.scancode == SDL_SCANCODE_RETURN && down) {
                // Alt+Enter is the window's, never the game's Return: nor its repeats, nor the press
                // SDL replays when the mode change moves the focus (it can come before Alt's).
                const Uint8 *live = SDL_GetKeyboardState(nullptr);
                bool alt = (ev.key.keysym.mod & KMOD_ALT) || live[SDL_SCANCODE_LALT] || live[SDL_SCANCODE_RALT] ||
                           plat_key_held(DIK_LALT) || plat_key_held(DIK_RALT);
                bool recent = toggle_done && ev.key.timestamp - last_toggle < 250;
                if (alt || recent || return_of_toggle) {
                    if (alt && !recent && !ev.key.repeat && (ev.key.keysym.mod & KMOD_ALT)) {
                        plat_window_set_fullscreen(!fullscreen_on);
                        last_toggle = ev.key.timestamp;
                        toggle_done = 1;
                    }
                    return_of_toggle = 1;
                    break;
                }
            }
            if (ev.key.keysym.scancode == SDL_SCANCODE_RETURN && !down && return_of_toggle) {
                return_of_toggle = 0;
                break;
            }
            plat_key_event(dik_from_scancode(ev.key.keysym.scancode), down ? 1 : 0);
            break;
        }
        case SDL_WINDOWEVENT:
            switch (ev.window.event) {
            case SDL_WINDOWEVENT_CLOSE: post_destroy_once(); break;
            case SDL_WINDOWEVENT_EXPOSED:
                plat_queue_push(PlatMessage{PLAT_MSG_PAINT, 0, 0});
                if (sdl_system_hooks.window_changed) sdl_system_hooks.window_changed();
                break;
            case SDL_WINDOWEVENT_SIZE_CHANGED:
                if (sdl_system_hooks.window_changed) sdl_system_hooks.window_changed();
                break;
            case SDL_WINDOWEVENT_FOCUS_LOST:
                plat_keys_clear(); // keys released elsewhere would stay down forever
                plat_queue_push(PlatMessage{PLAT_MSG_ACTIVATE, 0, 0});
                break;
            case SDL_WINDOWEVENT_FOCUS_GAINED: plat_queue_push(PlatMessage{PLAT_MSG_ACTIVATE, 1, 0}); break;
            default: break;
            }
            break;
        default:
            if (sdl_system_hooks.device_event) sdl_system_hooks.device_event(ev);
            break;
        }
    }
}

void plat_cursor_show(int32_t show) { SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE); }

int plat_backend_escape_async(void) { return 0; }

// Both clocks count whole milliseconds of CLOCK_MONOTONIC, so tick t begins exactly at
// t * 1 ms and a wait can sleep to that instant instead of polling.
static uint64_t monotonic_ms(void) {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

static const uint64_t process_start_ms = monotonic_ms();

uint32_t plat_ticks(void) { return static_cast<uint32_t>(monotonic_ms()); }

uint32_t plat_process_ms(void) { return static_cast<uint32_t>(monotonic_ms() - process_start_ms); }

// Sleeps to the absolute start of the deadline's millisecond. A quit signal ends every wait (a
// frame, a menu pause, the explosion's frames, a fade), so the game gets to its shutdown at once.
static uint32_t wait_on(uint64_t offset, uint32_t start, uint32_t ms) {
    for (;;) {
        uint64_t now64 = monotonic_ms() - offset;
        uint32_t now = static_cast<uint32_t>(now64);
        uint32_t elapsed = now - start;
        if (elapsed >= ms || quit_signal) return now;
        if (sdl_system_hooks.going_to_sleep) sdl_system_hooks.going_to_sleep(ms - elapsed);
        uint64_t deadline = now64 + (ms - elapsed) + offset;
        timespec ts{static_cast<time_t>(deadline / 1000u), static_cast<long>(deadline % 1000u) * 1000000L};
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr);
    }
}

uint32_t plat_wait_ticks(uint32_t start, uint32_t ms) { return wait_on(0, start, ms); }

uint32_t plat_wait_process_ms(uint32_t start, uint32_t ms) { return wait_on(process_start_ms, start, ms); }
