// Headless sound output: no device and no thread; tests pull blocks with plat_audio_render.
#include "platform/plat_audio.h"

namespace {
int headless_audio_open = 0;
}

int plat_audio_open(void)
{
    headless_audio_open = 1;
    return 1;
}

void plat_audio_close(void)
{
    headless_audio_open = 0;
}

int plat_audio_is_open(void)
{
    return headless_audio_open;
}

const char *plat_audio_driver(void)
{
    return headless_audio_open ? "headless" : "";
}

// Everything runs on the caller's thread, so there is nothing to guard.
void plat_audio_lock(void) {}
void plat_audio_unlock(void) {}
