// Music: standard MIDI files in a table of 64 slots, one piece playing at a time.
#pragma once
#include <cstdint>
#include <vector>

constexpr int32_t MUSIC_SLOT_COUNT = 64;
constexpr int32_t MUSIC_SLOT_FREE = 0;
constexpr int32_t MUSIC_SLOT_LOADED = 1;
constexpr int32_t MUSIC_SLOT_PLAYING = 2;
constexpr int32_t MUSIC_SLOT_STOPPED = 3;
constexpr int32_t MUSIC_NONE = -1;

struct MusicSlot {
    std::vector<uint8_t> *segment; // the file's bytes; null when free
    int32_t segment_state;         // 1 after a play has started a player for it
    int32_t id;
    int32_t state;
};

extern MusicSlot music_table[MUSIC_SLOT_COUNT];
extern int32_t current_music;

int32_t mus_init(void);
// start-up, after snd_init: starts loading the SoundFont (in the background on a real device,
// so it never holds up a frame); 0 when none loads (the game then plays silent).
int32_t mus_shutdown(void);
int32_t mus_load_midi(const char *name);
// start-up: slot id, or -1 for a missing file or one that is not a standard MIDI file.
int32_t mus_play(int32_t id);
// screens whose piece reads stopped: stops the current piece, starts this one.
int32_t mus_stop(int32_t id);
int32_t mus_status(int32_t id);
// every frame: 0 free, 2 playing, 3 stopped.
int32_t mus_delete(int32_t id);
int32_t mus_delete_all(void);
int32_t mus_is_midi_file(const uint8_t *data, uint32_t size);
// load and tests: 1 for an MThd header of the right length followed by fitting MTrk chunks.
