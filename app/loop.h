// The message loop shared by the game and the page.
#pragma once
#include <cstdint>

// One pass: at most one window message, so frames never starve, then one frame. 0 without the
// frame when the message was the quit, *exit_code set from it; 1 otherwise.
int32_t app_loop_pass(int32_t *exit_code);
