// Between the SDL backend's files.
#pragma once
#include <SDL.h>
#include <cstdint>

SDL_Window *sdl_window(void);
// video: the game window, null before it opens.
void sdl_video_window_resized(void);
// system: the window changed mode; the video redraws the last frame.
void sdl_input_event(const SDL_Event &ev);
// system: mouse and controller events from the pump.
void sdl_video_idle(uint32_t ms_left);
// system: a wait is about to sleep ms_left; a palette change still to be shown is shown now.
int sdl_x11_is_x11(SDL_Window *win);
// system: 1 when the window lives on an X display.
int sdl_x11_black_background(SDL_Window *win);
// video: the X server paints the window black behind the picture; 0 when not on X11.
int sdl_x11_has_window_manager(SDL_Window *win);
// system: 1 when an EWMH window manager runs on the window's X display.
void sdl_video_flush(void);
// system, when it takes events: a palette change still to be shown is shown now.
int32_t sdl_video_shown_count(void);
// tests: frames actually sent to the window (unchanged ones are not).
