// Frame clock: one remembered start on the platform's millisecond ticks.
#include "gfx/clock.h"

#include "platform/plat_system.h"

uint32_t clock_start_ticks = 0;

uint32_t gfx_get_ticks(void) { return plat_ticks(); }

uint32_t gfx_clock_start(void) {
    clock_start_ticks = plat_ticks();
    return clock_start_ticks;
}

uint32_t gfx_clock_wait(uint32_t ms) {
    // The platform sleeps until the first tick at or past the deadline (unsigned difference,
    // so a start taken just before the counter wraps still works); the caller gets a fresh reading.
    plat_wait_ticks(clock_start_ticks, ms);
    return plat_ticks();
}
