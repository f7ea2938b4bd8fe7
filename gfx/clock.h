// Frame clock on the platform's millisecond ticks.
#pragma once
#include <cstdint>

extern uint32_t clock_start_ticks;

uint32_t gfx_get_ticks(void);
uint32_t gfx_clock_start(void);
// first thing every frame and every transition step; also seeds the random numbers.
uint32_t gfx_clock_wait(uint32_t ms);
// end of every frame (33) and transition step (12): returns the first tick
// reading ms or more past the start; the process sleeps meanwhile.
