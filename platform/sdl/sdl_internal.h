// Between the SDL backend's files.
#pragma once
#include <SDL.h>

SDL_Window *sdl_window(void);
// video: the game window, null before it opens.
void sdl_video_window_resized(void);
// system: the window changed mode; the video redraws the last frame.
void sdl_input_event(const SDL_Event &ev);
// system: mouse and controller events from the pump.
