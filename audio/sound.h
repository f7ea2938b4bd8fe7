// Sound effects: WAV files in a table of 256 slots, replicas for overlapping play.
#pragma once
#include <cstdint>

struct PlatSound;

constexpr int32_t SOUND_SLOT_COUNT = 256;
constexpr int32_t SOUND_SLOT_FREE = 0;
constexpr int32_t SOUND_SLOT_LOADED = 1;
constexpr uint32_t SOUND_CAPS_EFFECT = 224;
constexpr uint32_t SOUND_PLAY_LOOPING = 1;
constexpr int32_t SOUND_STATUS_PLAYING = 1;
constexpr int32_t SOUND_STATUS_BUFFERLOST = 2;
constexpr int32_t SOUND_STATUS_LOOPING = 4;

struct SoundSlot {
    PlatSound *buffer;
    int32_t state;
    uint32_t rate;
    uint32_t size;
    int32_t id;
};

extern SoundSlot sound_table[SOUND_SLOT_COUNT];

int32_t snd_init(void);
// start-up, before mus_init; 0 when no device (every later call is then harmless).
int32_t snd_shutdown(void);
int32_t snd_load_wav(const char *name, uint32_t flags);
// start-up: slot id or -1.
int32_t snd_replicate(int32_t source);
// start-up: a copy sharing the samples; slot id or -1.
int32_t snd_play(int32_t id, uint32_t flags);
// game_play_cannon / game_play_explosion: from the beginning, once (0) or looping (1).
int32_t snd_stop(int32_t id);
int32_t snd_stop_all(void);
// quit, before the fade, and shutdown.
int32_t snd_delete(int32_t id);
int32_t snd_delete_all(void);
int32_t snd_status(int32_t id);
// status bits, -1 for a slot without a buffer.
int32_t snd_set_volume(int32_t id, int32_t volume);
int32_t snd_set_frequency(int32_t id, int32_t hz);
int32_t snd_set_pan(int32_t id, int32_t pan);
