// quorvane-sim: the game on the headless backend and its virtual clock, without a window.
#pragma once
#include <cstdint>

#include "app/options.h"

// Each mode plays what the options ask, prints its result lines on stdout and returns the
// process exit code (0 done, 2 a refused input, 3 a lost or desynchronised peer).
int32_t sim_replay(const AppOptions *options);
// --computer both --matches N: computer against computer, one result line a match, a summary.
int32_t sim_matches(const AppOptions *options);
// --host / --join: one match against a peer over the network.
int32_t sim_online(const AppOptions *options);
