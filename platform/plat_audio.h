// Sound output: our own mixer of 8-bit sample buffers plus the MIDI synth,
// on one output stream (float stereo, 48000 Hz, 1024-frame blocks: 21 ms, and half the wake-ups
// of 512).
// Backend-neutral interface; platform/sdl and platform/headless implement the device.
#pragma once
#include <cstdint>

constexpr int32_t PLAT_AUDIO_RATE = 48000;
constexpr int32_t PLAT_AUDIO_BLOCK = 1024;
// The music is rendered this many frames at a time (85 ms) and mixed from there; the effects
// still mix every block.
constexpr int32_t PLAT_MUSIC_CHUNK = 4096;
constexpr uint32_t PLAT_SOUND_DEFAULT_HZ = 11025;

// Buffer capabilities (the old sound-buffer cap bits, so callers pass theirs unchanged).
constexpr uint32_t PLAT_SOUND_CTRL_FREQUENCY = 0x20;
constexpr uint32_t PLAT_SOUND_CTRL_PAN = 0x40;
constexpr uint32_t PLAT_SOUND_CTRL_VOLUME = 0x80;

constexpr uint32_t PLAT_SOUND_PLAY_LOOPING = 1;
constexpr int32_t PLAT_SOUND_STATUS_PLAYING = 1;
constexpr int32_t PLAT_SOUND_STATUS_LOOPING = 4;

// Volume and pan in hundredths of a decibel.
constexpr int32_t PLAT_SOUND_VOLUME_MIN = -10000;
constexpr int32_t PLAT_SOUND_VOLUME_MAX = 0;
constexpr int32_t PLAT_SOUND_PAN_LEFT = -10000;
constexpr int32_t PLAT_SOUND_PAN_RIGHT = 10000;
constexpr uint32_t PLAT_SOUND_FREQUENCY_MIN = 100;
constexpr uint32_t PLAT_SOUND_FREQUENCY_MAX = 200000;

struct PlatSound;

int plat_audio_open(void);
// snd_init, once: opens the output (falls back to a silent device); 1 or 0.
void plat_audio_close(void);
// snd_shutdown: stops the output; sounds still alive stay valid but silent.
int plat_audio_is_open(void);
// sound and music layers: whether anything will be heard (or rendered headless).
const char *plat_audio_driver(void);
// tests and diagnostics: the driver in use ("headless", "pulseaudio", "dummy", ...), "" if closed.

PlatSound *plat_sound_create(const uint8_t *samples, uint32_t size, uint32_t caps);
// snd_load_wav: copies size (>0) unsigned 8-bit mono samples; null on failure or with no device.
PlatSound *plat_sound_duplicate(PlatSound *source);
// snd_replicate: shares the samples, own position, status, volume, pan and frequency.
void plat_sound_release(PlatSound *sound);
// snd_delete / snd_init reset: stops it; samples freed when no duplicate holds them.
int plat_sound_play(PlatSound *sound, uint32_t flags);
// snd_play: from the current position, once (0) or looping (PLAT_SOUND_PLAY_LOOPING).
int plat_sound_stop(PlatSound *sound);
// snd_stop: keeps the position.
int plat_sound_set_position(PlatSound *sound, uint32_t sample);
// snd_play / snd_stop rewind to 0; 0 for a position past the end.
int32_t plat_sound_status(PlatSound *sound);
// snd_status: PLAT_SOUND_STATUS_ bits, 0 when stopped.
int plat_sound_set_volume(PlatSound *sound, int32_t centibels);
// snd_set_volume: -10000..0, 0 without PLAT_SOUND_CTRL_VOLUME or out of range.
int plat_sound_set_pan(PlatSound *sound, int32_t centibels);
// snd_set_pan: -10000 (left only)..10000 (right only), 0 without PLAT_SOUND_CTRL_PAN.
int plat_sound_set_frequency(PlatSound *sound, uint32_t hz);
// snd_set_frequency: 100..200000 Hz, 0 restores 11025; 0 without PLAT_SOUND_CTRL_FREQUENCY.
uint32_t plat_sound_position(PlatSound *sound);
// tests: the current sample index.
int32_t plat_sound_volume(PlatSound *sound);
int32_t plat_sound_pan(PlatSound *sound);
uint32_t plat_sound_frequency(PlatSound *sound);
// tests: the settings last accepted (0, 0, 11025 for a fresh sound or null).

int plat_music_open(void);
// mus_init: the synth and its SoundFont, once for the run. On a real device the SoundFont loads
// in the background and this returns at once; 1 while loading or ready, 0 if none loads.
int plat_music_wait(void);
// tests and tools: waits for the SoundFont; 1 when music can play.
int32_t plat_music_ahead(void);
// tests: frames of music rendered but not yet mixed; a change of piece is heard that much later.
void plat_music_close(void);
// mus_shutdown: stops the piece, frees the synth (waiting for a load in progress).
int plat_music_is_open(void);
// 1 while the SoundFont loads or once it has loaded.
void plat_music_prepare(const uint8_t *midi, uint32_t size);
// mus_load_midi: reads in the instruments of a piece ahead of its first play (in the background
// while the SoundFont loads), so a piece start never waits for samples.
int plat_music_play(const uint8_t *midi, uint32_t size);
// mus_play: releases the notes of any piece, starts this standard MIDI file from its beginning
// (bytes copied); asked for while the SoundFont loads, it starts the moment it is ready.
void plat_music_stop(void);
// mus_stop / mus_play: the piece stops; its notes fade out in their release, no hard cut.
int plat_music_playing(void);
// mus_status: 1 while the piece has not reached its last tick (or waits for the SoundFont).

void plat_audio_render(float *out, int32_t frames);
// headless tests and the device callback: music first, then the sounds, through a limiter
// that keeps every sample within -0.995..0.995, interleaved left/right. The SDL backend calls it from its own thread;
// tests call it directly.

// ---- used only by the platform's own audio files ----
void plat_audio_lock(void);
void plat_audio_unlock(void);
// mixer: guards its state against the device callback (nothing to do headless).
void plat_mixer_reset(void);
// backends, on opening the output: the limiter starts from full gain.
int plat_audio_background_loading(void);
// mixer: 1 when the SoundFont should load on a thread (a real device; headless on request).
