// SDL sound output: one device, float stereo 48 kHz in PLAT_AUDIO_BLOCK-frame blocks, filled by our mixer.
#include "platform/plat_audio.h"

#include <SDL.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

SDL_AudioDeviceID sdl_audio_device = 0;

void SDLCALL sdl_audio_callback(void *, Uint8 *stream, int len) {
    // SDL holds the device lock while it calls us.
    plat_audio_render(reinterpret_cast<float *>(stream), len / static_cast<int>(2 * sizeof(float)));
}

SDL_AudioDeviceID sdl_audio_try_open(void) {
    SDL_AudioSpec want{};
    want.freq = PLAT_AUDIO_RATE;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = PLAT_AUDIO_BLOCK;
    want.callback = sdl_audio_callback;
    SDL_AudioSpec have{};
    // No changes allowed: SDL converts if the hardware wants something else.
    return SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
}

} // namespace

int plat_audio_open(void) {
    if (sdl_audio_device) return 1;
    // With no sound server ALSA writes a screenful of errors to stderr before failing;
    // keep them off the terminal, the fallback below says all there is to say.
    int saved = dup(STDERR_FILENO);
    int null_fd = open("/dev/null", O_WRONLY);
    int muted = saved >= 0 && null_fd >= 0 && dup2(null_fd, STDERR_FILENO) >= 0;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
        sdl_audio_device = sdl_audio_try_open();
        if (!sdl_audio_device) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    if (!sdl_audio_device) {
        // No sound device at all (or the driver asked for has none): the silent driver
        // keeps the game's timing and state intact. The override beats SDL_AUDIODRIVER.
        SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
            sdl_audio_device = sdl_audio_try_open();
            if (!sdl_audio_device) SDL_QuitSubSystem(SDL_INIT_AUDIO);
        }
        SDL_ResetHint(SDL_HINT_AUDIODRIVER);
    }
    if (muted) dup2(saved, STDERR_FILENO);
    if (null_fd >= 0) close(null_fd);
    if (saved >= 0) close(saved);
    if (!sdl_audio_device) return 0;
    plat_mixer_reset();
    SDL_PauseAudioDevice(sdl_audio_device, 0);
    return 1;
}

void plat_audio_close(void) {
    if (!sdl_audio_device) return;
    SDL_CloseAudioDevice(sdl_audio_device);
    sdl_audio_device = 0;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

int plat_audio_is_open(void) { return sdl_audio_device != 0; }

const char *plat_audio_driver(void) {
    const char *name = sdl_audio_device ? SDL_GetCurrentAudioDriver() : nullptr;
    return name ? name : "";
}

void plat_audio_lock(void) {
    if (sdl_audio_device) SDL_LockAudioDevice(sdl_audio_device);
}

void plat_audio_unlock(void) {
    if (sdl_audio_device) SDL_UnlockAudioDevice(sdl_audio_device);
}

int plat_audio_background_loading(void) { return 1; }
