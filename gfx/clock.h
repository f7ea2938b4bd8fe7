// Frame clock on the platform's millisecond ticks.
#pragma once
#include <cstdint>

extern uint32_t clock_start_ticks;

// The platform's millisecond ticks now.
uint32_t gfx_get_ticks(void);
// First thing every frame and every transition step: remembers the ticks now and returns them
// (they also seed the random numbers).
uint32_t gfx_clock_start(void);
// End of every frame (33) and transition step (12): sleeps until the ticks read ms or more past
// the start, then returns a reading taken after that.
uint32_t gfx_clock_wait(uint32_t ms);
