#include "app/loop.h"

#include "game/game.h"
#include "platform/plat_system.h"
#include "replay/replay.h"

int32_t app_loop_pass(int32_t *exit_code) {
    PlatMessage msg{};
    if (plat_message_peek(&msg)) {
        if (msg.type == PLAT_MSG_QUIT) {
            *exit_code = msg.wparam;
            return 0;
        }
        rpl_record_message(&msg);
        game_window_proc(&msg);
    }
    game_frame();
    return 1;
}
