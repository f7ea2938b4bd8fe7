// Between the SDL backend's files.
#pragma once
#include <SDL.h>
#include <cstdint>

// video: the game window, null before it opens.
SDL_Window *sdl_window(void);
// What the system's event pump and waits tell the rooms above it: the video and the input
// readers fill their own entries when they first open; an empty entry is skipped.
struct SdlSystemHooks {
    void (*taking_events)(void);               // the pump is about to take events
    void (*window_changed)(void);              // the window was exposed, resized or changed mode
    void (*going_to_sleep)(uint32_t ms_left);  // a wait is about to sleep ms_left
    void (*device_event)(const SDL_Event &ev); // a mouse or controller event the pump took
    void (*shutting_down)(void);               // the window is about to close for good
};
extern SdlSystemHooks sdl_system_hooks;
// system: 1 when the window lives on an X display.
int sdl_x11_is_x11(SDL_Window *win);
// video: the X server paints the window black behind the picture; 0 when not on X11.
int sdl_x11_black_background(SDL_Window *win);
// system: 1 when an EWMH window manager runs on the window's X display.
int sdl_x11_has_window_manager(SDL_Window *win);
// tests: frames actually sent to the window (unchanged ones are not).
int32_t sdl_video_shown_count(void);
// video, the X11 present: CLOCK_MONOTONIC in milliseconds, with fractions.
double sdl_now_ms(void);

// A band image of our own X11 present path: 32-bit pixels laid out as sdl_x11p_shifts says.
struct SdlX11Frame {
    uint8_t *pixels;
    int32_t pitch, w, h;
};
// video: 1 when we present on X11 ourselves (MIT-SHM on a connection of our own); 0 when not
// on X11, without shared memory, or with QUORVANE_X11_PRESENT=0.
int sdl_x11p_open(SDL_Window *win);
// video: frees the images and the connection; harmless when not open.
void sdl_x11p_close(void);
// video: the next image of the ring, w x h (every call of a picture asks the same size), once the
// server has read what it held; 0 on failure (the path is then closed).
int sdl_x11p_acquire(int32_t w, int32_t h, SdlX11Frame *frame);
// video: puts the top-left w x h of the image last acquired at (x, y) of the window; not flushed.
void sdl_x11p_send(int32_t w, int32_t h, int32_t x, int32_t y);
// video: sends what was put, without waiting for the server.
void sdl_x11p_flush(void);
// video: fills these window rectangles black (the borders, when the server paints none).
void sdl_x11p_fill_black(const SDL_Rect *rects, int32_t count);
// video, its present report: waits for the server to read an image that took over 100 ms.
int32_t sdl_x11p_slow_waits(void);
// video: the window pixels' shifts of red, green and blue.
void sdl_x11p_shifts(int32_t out[3]);
