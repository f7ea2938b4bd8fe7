// The generator the game's numbers are defined by (not glibc's rand).
#include "platform/plat_system.h"

static uint32_t rand_state = 1;

void plat_srand(uint32_t seed) { rand_state = seed; }

int32_t plat_rand(void) {
    rand_state = rand_state * 214013u + 2531011u;
    return static_cast<int32_t>((rand_state >> 16) & 0x7FFF);
}

uint32_t plat_rand_state(void) { return rand_state; }
