// A headless 640x480 8-bit display for the length of one benchmark.
#pragma once
#include "game/game_files.h"
#include "gfx/display.h"
#include "platform/plat_headless.h"

struct DisplayUp {
    DisplayUp() {
        plat_headless_reset();
        gfx_display_init(640, 480, 8, 0, GAME_FILE_PALETTE);
    }
    ~DisplayUp() { gfx_display_shutdown(); }
};
