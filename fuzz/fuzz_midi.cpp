// MIDI check, then loading and playing what it accepts through the synth offline.
#include "audio/music.h"
#include "audio/sound.h"
#include "fuzz/fuzz_common.h"
#include "platform/plat_audio.h"

static int music_ok = 0;

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    snd_init();
    music_ok = mus_init();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    mus_is_midi_file(data, static_cast<uint32_t>(size));
    std::string path = fuzz_write_input(data, size, ".MID");
    int32_t id = mus_load_midi(path.c_str());
    if (id >= 0) {
        mus_play(id);
        static float out[PLAT_AUDIO_BLOCK * 2];
        for (int i = 0; i < (music_ok ? 8 : 1); i++) plat_audio_render(out, PLAT_AUDIO_BLOCK);
        mus_status(id);
        mus_stop(id);
        plat_audio_render(out, PLAT_AUDIO_BLOCK);
        mus_delete(id);
    }
    return 0;
}
