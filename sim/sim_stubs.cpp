// Modes not built yet.
#include <cstdio>

#include "sim/sim.h"

int32_t sim_replay(const AppOptions *) {
    std::fprintf(stderr, "quorvane-sim: --replay is not available yet\n");
    return 2;
}
