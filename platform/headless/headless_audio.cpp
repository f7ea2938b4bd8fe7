// Headless sound output: no device and no thread; tests pull blocks with plat_audio_render.
#include "platform/plat_audio.h"

#include "platform/plat_headless.h"

namespace {
int headless_audio_open = 0;
int headless_music_background = 0;
} // namespace

void plat_headless_set_music_background(int on) { headless_music_background = on; }

int plat_audio_background_loading(void) { return headless_music_background; }

int plat_audio_open(void) {
    headless_audio_open = 1;
    plat_mixer_reset();
    return 1;
}

void plat_audio_close(void) { headless_audio_open = 0; }

int plat_audio_is_open(void) { return headless_audio_open; }

const char *plat_audio_driver(void) { return headless_audio_open ? "headless" : ""; }

// Everything runs on the caller's thread, so there is nothing to guard.
void plat_audio_lock(void) {}
void plat_audio_unlock(void) {}
