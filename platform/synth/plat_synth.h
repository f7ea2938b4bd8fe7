// The MIDI synth behind plat_music_*: FluidSynth stays inside plat_synth.cpp.
// Callers hold the audio lock around every call (the mixer does this).
#pragma once
#include <cstdint>

int plat_synth_open(int32_t sample_rate);
// plat_music_open: one synth, one SoundFont; 0 if none of the known SoundFonts loads.
void plat_synth_close(void);
// plat_music_close.
int plat_synth_is_open(void);
int plat_synth_play(const uint8_t *midi, uint32_t size);
// plat_music_play: a fresh player over a copy of the bytes.
void plat_synth_stop(void);
// plat_music_stop and before every play.
int plat_synth_playing(void);
// plat_music_playing: status playing and the current tick below the last one.
int plat_synth_render(float *out, int32_t frames);
// plat_audio_render: overwrites frames of interleaved stereo; 0 (nothing written) when closed.
