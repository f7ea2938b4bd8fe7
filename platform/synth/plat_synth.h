// The MIDI synth behind plat_music_*: FluidSynth stays inside plat_synth.cpp.
// Callers hold the audio lock around play, stop, playing and render (the mixer does this).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

constexpr int32_t PLAT_SYNTH_OFF = 0;     // never opened, closed, or no SoundFont loaded
constexpr int32_t PLAT_SYNTH_LOADING = 1; // the SoundFont is being loaded
constexpr int32_t PLAT_SYNTH_READY = 2;   // loaded; play and render work

int plat_synth_open(int32_t sample_rate, int background);
// plat_music_open: creates the synth and loads the first SoundFont that loads, on a thread of
// its own when background is 1. 1 while loading or ready; 0 when nothing loaded (synchronous).
// With no SoundFont at all, one line on stderr says that music is off and how to get it.
int32_t plat_synth_status(void);
// any thread: PLAT_SYNTH_ state; READY only once the loading thread has finished.
void plat_synth_screen_shown(void);
// any thread, the display's first present: a loading thread opens FluidSynth from now on (at the
// latest 2 s after it started).
int plat_synth_wait(void);
// plat_music_wait: blocks until loading ends; 1 when ready.
void plat_synth_close(void);
// plat_music_close: waits for a load in progress, then frees everything.
void plat_synth_prepare(const uint8_t *midi, uint32_t size);
// plat_music_prepare, any time after open: the instruments the piece selects are read in ahead
// (on the loading thread when it is still running), so starting it loads nothing.
int plat_synth_play(const uint8_t *midi, uint32_t size);
// plat_music_play: releases the notes of the piece playing, starts a fresh player over a copy.
void plat_synth_stop(void);
// plat_music_stop: the player stops and its notes go into their release, never cut dead.
int plat_synth_playing(void);
// plat_music_playing: status playing and the current tick below the last one.
int plat_synth_render(float *out, int32_t frames);
// plat_audio_render: overwrites frames of interleaved stereo; 0 (nothing written) unless ready.

void plat_synth_soundfont_candidates(const char *override_path, const char *fluid_default, const char *const *roots,
                                     int32_t root_count, std::vector<std::string> *out);
// the loader and tests: SoundFont files to try, in order: override_path, fluid_default, then in
// each root the usual General MIDI names and after them any other .sf2/.sf3, alphabetically.
// Only files that read as SoundFonts are listed; null or empty arguments are skipped.
void plat_synth_set_search(const char *const *roots, int32_t root_count, const char *fluid_default);
// tests: folders (and a stand-in for FluidSynth's default) the next open searches instead of the
// system's; null roots restores the system's search.
