// WAV loader, then a replica, playing both and mixing a few blocks.
#include "audio/sound.h"
#include "fuzz/fuzz_common.h"
#include "platform/plat_audio.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    snd_init();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string path = fuzz_write_input(data, size, ".WAV");
    int32_t id = snd_load_wav(path.c_str(), SOUND_CAPS_EFFECT);
    int32_t copy = snd_replicate(id);
    snd_play(id, 0);
    snd_play(copy, SOUND_PLAY_LOOPING);
    static float out[PLAT_AUDIO_BLOCK * 2];
    for (int i = 0; i < 4; i++) plat_audio_render(out, PLAT_AUDIO_BLOCK);
    snd_status(id);
    snd_delete(copy);
    snd_delete(id);
    return 0;
}
