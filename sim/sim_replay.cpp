// quorvane-sim --replay FILE: plays a recording on the headless backend and prints its
// result line. Pictures and sounds load from the working folder if they are there; the
// match does not depend on them.
#include <cstdio>

#include "platform/plat_headless.h"
#include "platform/plat_system.h"
#include "replay/replay.h"
#include "sim/sim.h"
#include "stream/stream.h"

int32_t sim_replay(const AppOptions *options) {
    static RplRecording rec;
    char error[RPL_ERROR_MAX];
    if (!rpl_load(options->replay_path, &rec, error, sizeof error)) {
        std::fprintf(stderr, "quorvane-sim: %s\n", error);
        return 2;
    }
    plat_headless_reset();
    if (!plat_init() || !plat_window_open("Quorvane", 640, 480, 1)) {
        std::fprintf(stderr, "quorvane-sim: cannot start the headless platform: %s\n", plat_error());
        return 1;
    }
    plat_headless_set_blind(1);
    strm_reset();
    char line[128];
    int32_t outcome = rpl_play_to_end(&rec, line, sizeof line, error, sizeof error);
    if (error[0]) std::fprintf(stderr, "quorvane-sim: %s\n", error); // a note when 0
    std::printf("%s\n", line);
    return outcome == 0 ? 0 : 3;
}
