// quorvane-sim entry point: picks the mode the command line asks for.
#include <cstdio>

#include "app/options.h"
#include "sim/sim.h"

int main(int argc, char **argv) {
    AppOptions options;
    int32_t exit_code = 0;
    if (!app_parse_options(APP_PROGRAM_SIM, argc, argv, &options, &exit_code)) return exit_code;
    if (options.replay_path[0]) return sim_replay(&options);
    if (options.host || options.join_host[0] || options.online) return sim_online(&options);
    if (options.computer[0] && options.computer[1]) return sim_matches(&options);
    std::fprintf(stderr,
                 "quorvane-sim: nothing to play: give --replay FILE, --computer both, --host, --join or --online\n");
    app_print_usage(APP_PROGRAM_SIM, stderr);
    return 2;
}
