// Entry point: the command line, the window, start-up, the message loop and shutdown.
#include <cstdio>

#include "ai/ai.h"
#include "app/options.h"
#include "game/game.h"
#include "platform/plat_system.h"
#include "stream/stream.h"

int main(int argc, char **argv) {
    AppOptions options;
    int32_t exit_code = 0;
    if (!app_parse_options(APP_PROGRAM_GAME, argc, argv, &options, &exit_code)) return exit_code;

    if (!plat_init()) {
        std::fprintf(stderr, "quorvane: cannot start the platform layer: %s\n", plat_error());
        return 1;
    }
    if (!plat_window_open("Quorvane", 640, 480, options.windowed ? 0 : 1)) {
        std::fprintf(stderr, "quorvane: cannot open the game window: %s\n", plat_error());
        plat_shutdown();
        return 1;
    }
    static_assert(int32_t{APP_LEVEL_EASY} == int32_t{AI_LEVEL_EASY} && int32_t{APP_LEVEL_HARD} == int32_t{AI_LEVEL_HARD});
    // The computer takes the seats it was given; the menus stay with the people.
    for (int32_t p = 0; p < 2; p++) {
        if (!options.computer[p]) continue;
        ai_setup(p, options.level[p]);
        strm_set_seat(p, ai_keys);
    }
    game_init();

    PlatMessage msg{};
    for (;;) {
        // At most one message per pass, so frames never starve.
        if (plat_message_peek(&msg)) {
            if (msg.type == PLAT_MSG_QUIT) {
                exit_code = msg.wparam;
                break;
            }
            game_window_proc(&msg);
        }
        game_frame();
    }

    game_shutdown();
    plat_shutdown();
    return exit_code;
}
