// Modes not built yet.
#include <cstdio>

#include "sim/sim.h"

int32_t sim_online(const AppOptions *) {
    std::fprintf(stderr, "quorvane-sim: --host and --join are not available yet\n");
    return 2;
}
