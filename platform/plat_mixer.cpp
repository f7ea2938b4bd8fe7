// Our own mixer: 8-bit mono sample buffers resampled into float stereo at 48 kHz, added
// over the synth's output, then through a peak limiter so that no pile-up of
// effects ever clips. The device callback (or a headless test) pulls blocks through
// plat_audio_render; the game thread changes state only under the lock.
#include "platform/plat_audio.h"
#include "platform/plat_internal.h"
#include "platform/synth/plat_synth.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

struct PlatSound {
    std::shared_ptr<const std::vector<uint8_t>> samples; // shared by duplicates
    uint32_t caps;
    uint64_t pos;   // 32.32 fixed point, in samples
    int32_t status; // PLAT_SOUND_STATUS_ bits
    int32_t volume; // hundredths of a dB
    int32_t pan;
    uint32_t hz;
    float gain_left;
    float gain_right;
};

namespace {

std::vector<PlatSound *> mixer_sounds; // every live sound; touched only under the lock
int mixer_music_ready = 0;             // the callback leaves the synth alone until it is

// A piece asked for while the SoundFont still loads; it starts as soon as the synth is ready.
std::vector<uint8_t> mixer_pending_piece;
int mixer_pending = 0;
int mixer_music_opening = 0; // game thread: a load was started and its outcome not yet taken

// The limiter: gain drops at once to keep the peak at the ceiling, then recovers with a
// 50 ms time constant.
constexpr float LIMIT_CEILING = 0.995f;
constexpr float LIMIT_RELEASE = 1.0f / (0.05f * static_cast<float>(PLAT_AUDIO_RATE));
float mixer_limit_gain = 1.0f; // touched only by the render

// FluidSynth does about a fifth less work rendering 4096 frames at a time than 1024: after each
// of the device's 21 ms sleeps its data has left the cache. So the music is rendered a chunk
// ahead, and a change of piece is heard up to 85 ms later; effects still start within a block.
float music_chunk[2 * PLAT_MUSIC_CHUNK];
int32_t chunk_at = 0, chunk_frames = 0; // touched by the render, or under the lock

void music_chunk_drop(void) { chunk_at = chunk_frames = 0; }

// Music for frames [0, frames) of out: from the chunk, rendering the next when it runs out;
// silence while the synth has nothing to render.
void music_mix_in(float *out, int32_t frames) {
    int32_t done = 0;
    while (done < frames) {
        if (chunk_at == chunk_frames) {
            if (!mixer_music_ready || !plat_synth_render(music_chunk, PLAT_MUSIC_CHUNK)) {
                music_chunk_drop(); // music that becomes ready starts with the next block
                std::memset(out + 2 * done, 0, sizeof(float) * 2 * static_cast<size_t>(frames - done));
                return;
            }
            chunk_at = 0;
            chunk_frames = PLAT_MUSIC_CHUNK;
        }
        int32_t n = std::min(frames - done, chunk_frames - chunk_at);
        std::memcpy(out + 2 * done, music_chunk + 2 * chunk_at, sizeof(float) * 2 * static_cast<size_t>(n));
        chunk_at += n;
        done += n;
    }
}

float centibels_to_gain(int32_t cb) {
    if (cb <= PLAT_SOUND_VOLUME_MIN) return 0.0f;
    return static_cast<float>(std::pow(10.0, static_cast<double>(cb) / 2000.0));
}

void sound_update_gains(PlatSound *s) {
    float g = centibels_to_gain(s->volume);
    s->gain_left = g * (s->pan > 0 ? centibels_to_gain(-s->pan) : 1.0f);
    s->gain_right = g * (s->pan < 0 ? centibels_to_gain(s->pan) : 1.0f);
}

PlatSound *sound_register(PlatSound *s) {
    plat_audio_lock();
    mixer_sounds.push_back(s);
    plat_audio_unlock();
    return s;
}

void sound_mix(PlatSound *s, float *out, int32_t frames) {
    const std::vector<uint8_t> &data = *s->samples;
    const uint64_t n = data.size();
    const uint64_t end = n << 32;
    const uint64_t step = (static_cast<uint64_t>(s->hz) << 32) / static_cast<uint64_t>(PLAT_AUDIO_RATE);
    const bool looping = (s->status & PLAT_SOUND_STATUS_LOOPING) != 0;
    const float gl = s->gain_left, gr = s->gain_right;
    uint64_t pos = s->pos;
    for (int32_t f = 0; f < frames; f++) {
        uint64_t i = pos >> 32;
        float frac = static_cast<float>(static_cast<uint32_t>(pos)) * (1.0f / 4294967296.0f);
        int s0 = data[i];
        int s1 = i + 1 < n ? data[i + 1] : (looping ? data[0] : 0x80);
        float v = (static_cast<float>(s0 - 0x80) + static_cast<float>(s1 - s0) * frac) * (1.0f / 128.0f);
        out[2 * f] += v * gl;
        out[2 * f + 1] += v * gr;
        pos += step;
        if (pos >= end) {
            if (looping) {
                pos %= end;
            } else {
                s->status = 0;
                pos = 0;
                break;
            }
        }
    }
    s->pos = pos;
}

} // namespace

PlatSound *plat_sound_create(const uint8_t *samples, uint32_t size, uint32_t caps) {
    if (!samples || size == 0 || !plat_audio_is_open()) return nullptr;
    auto data = std::make_shared<std::vector<uint8_t>>(samples, samples + size);
    PlatSound *s = new (std::nothrow) PlatSound{};
    if (!s) return nullptr;
    s->samples = std::move(data);
    s->caps = caps;
    s->hz = PLAT_SOUND_DEFAULT_HZ;
    sound_update_gains(s);
    return sound_register(s);
}

PlatSound *plat_sound_duplicate(PlatSound *source) {
    if (!source) return nullptr;
    PlatSound *s = new (std::nothrow) PlatSound{};
    if (!s) return nullptr;
    plat_audio_lock();
    s->samples = source->samples;
    s->caps = source->caps;
    s->volume = source->volume;
    s->pan = source->pan;
    s->hz = source->hz;
    plat_audio_unlock();
    sound_update_gains(s);
    return sound_register(s);
}

void plat_sound_release(PlatSound *sound) {
    if (!sound) return;
    plat_audio_lock();
    auto it = std::find(mixer_sounds.begin(), mixer_sounds.end(), sound);
    if (it != mixer_sounds.end()) {
        *it = mixer_sounds.back();
        mixer_sounds.pop_back();
    }
    plat_audio_unlock();
    delete sound; // the samples go with the last sound holding them
}

int plat_sound_play(PlatSound *sound, uint32_t flags) {
    if (!sound) return 0;
    plat_audio_lock();
    sound->status = PLAT_SOUND_STATUS_PLAYING | ((flags & PLAT_SOUND_PLAY_LOOPING) ? PLAT_SOUND_STATUS_LOOPING : 0);
    plat_audio_unlock();
    return 1;
}

int plat_sound_stop(PlatSound *sound) {
    if (!sound) return 0;
    plat_audio_lock();
    sound->status = 0;
    plat_audio_unlock();
    return 1;
}

int plat_sound_set_position(PlatSound *sound, uint32_t sample) {
    if (!sound) return 0;
    plat_audio_lock();
    int ok = sample < sound->samples->size();
    if (ok) sound->pos = static_cast<uint64_t>(sample) << 32;
    plat_audio_unlock();
    return ok;
}

uint32_t plat_sound_position(PlatSound *sound) {
    if (!sound) return 0;
    plat_audio_lock();
    uint32_t p = static_cast<uint32_t>(sound->pos >> 32);
    plat_audio_unlock();
    return p;
}

int32_t plat_sound_volume(PlatSound *sound) {
    if (!sound) return 0;
    plat_audio_lock();
    int32_t v = sound->volume;
    plat_audio_unlock();
    return v;
}

int32_t plat_sound_pan(PlatSound *sound) {
    if (!sound) return 0;
    plat_audio_lock();
    int32_t p = sound->pan;
    plat_audio_unlock();
    return p;
}

uint32_t plat_sound_frequency(PlatSound *sound) {
    if (!sound) return PLAT_SOUND_DEFAULT_HZ;
    plat_audio_lock();
    uint32_t hz = sound->hz;
    plat_audio_unlock();
    return hz;
}

int32_t plat_sound_status(PlatSound *sound) {
    if (!sound) return 0;
    plat_audio_lock();
    int32_t st = sound->status;
    plat_audio_unlock();
    return st;
}

int plat_sound_set_volume(PlatSound *sound, int32_t centibels) {
    if (!sound || !(sound->caps & PLAT_SOUND_CTRL_VOLUME) || centibels < PLAT_SOUND_VOLUME_MIN ||
        centibels > PLAT_SOUND_VOLUME_MAX)
        return 0;
    plat_audio_lock();
    sound->volume = centibels;
    sound_update_gains(sound);
    plat_audio_unlock();
    return 1;
}

int plat_sound_set_pan(PlatSound *sound, int32_t centibels) {
    if (!sound || !(sound->caps & PLAT_SOUND_CTRL_PAN) || centibels < PLAT_SOUND_PAN_LEFT ||
        centibels > PLAT_SOUND_PAN_RIGHT)
        return 0;
    plat_audio_lock();
    sound->pan = centibels;
    sound_update_gains(sound);
    plat_audio_unlock();
    return 1;
}

int plat_sound_set_frequency(PlatSound *sound, uint32_t hz) {
    if (!sound || !(sound->caps & PLAT_SOUND_CTRL_FREQUENCY)) return 0;
    if (hz == 0) hz = PLAT_SOUND_DEFAULT_HZ;
    if (hz < PLAT_SOUND_FREQUENCY_MIN || hz > PLAT_SOUND_FREQUENCY_MAX) return 0;
    plat_audio_lock();
    sound->hz = hz;
    plat_audio_unlock();
    return 1;
}

namespace {

// Game thread: once the loading thread is done, the callback may render the synth, and the
// piece asked for meanwhile starts.
void music_adopt(void) {
    if (mixer_music_ready || !mixer_music_opening || plat_synth_status() == PLAT_SYNTH_LOADING) return;
    mixer_music_opening = 0;
    int ready = plat_synth_wait();
    plat_audio_lock();
    mixer_music_ready = ready;
    if (ready && mixer_pending)
        plat_synth_play(mixer_pending_piece.data(), static_cast<uint32_t>(mixer_pending_piece.size()));
    mixer_pending = 0;
    plat_audio_unlock();
    mixer_pending_piece.clear();
    mixer_pending_piece.shrink_to_fit();
}

} // namespace

void plat_mixer_reset(void) {
    plat_audio_lock();
    mixer_limit_gain = 1.0f;
    music_chunk_drop();
    plat_audio_unlock();
}

int plat_music_open(void) {
    if (mixer_music_ready || plat_synth_status() != PLAT_SYNTH_OFF) return 1;
    if (plat_blind) return 0; // the simulator: no SoundFont to load, as on a machine without one
    // The SoundFont takes tens of milliseconds to a second to load: on a real device it loads
    // on a thread of its own so the first frame never waits for it.
    mixer_music_opening = 1;
    if (!plat_synth_open(PLAT_AUDIO_RATE, plat_audio_background_loading())) {
        mixer_music_opening = 0;
        plat_synth_wait();
        return 0;
    }
    music_adopt();
    return 1;
}

int plat_music_wait(void) {
    plat_synth_wait();
    music_adopt();
    return mixer_music_ready;
}

int32_t plat_music_ahead(void) {
    plat_audio_lock();
    int32_t ahead = chunk_frames - chunk_at;
    plat_audio_unlock();
    return ahead;
}

void plat_music_close(void) {
    plat_audio_lock();
    mixer_music_ready = 0;
    mixer_pending = 0;
    music_chunk_drop();
    plat_audio_unlock();
    mixer_music_opening = 0;
    mixer_pending_piece.clear();
    plat_synth_close();
}

int plat_music_is_open(void) {
    music_adopt();
    return mixer_music_ready || plat_synth_status() == PLAT_SYNTH_LOADING;
}

void plat_music_prepare(const uint8_t *midi, uint32_t size) {
    // Not under the audio lock: reading samples may take a while, and the synth guards itself.
    if (plat_synth_status() != PLAT_SYNTH_OFF) plat_synth_prepare(midi, size);
}

int plat_music_play(const uint8_t *midi, uint32_t size) {
    music_adopt();
    if (!mixer_music_ready) {
        if (plat_synth_status() != PLAT_SYNTH_LOADING || !midi || size == 0) return 0;
        mixer_pending_piece.assign(midi, midi + size);
        mixer_pending = 1;
        return 1;
    }
    plat_audio_lock();
    int ok = plat_synth_play(midi, size);
    plat_audio_unlock();
    return ok;
}

void plat_music_stop(void) {
    music_adopt();
    mixer_pending = 0;
    plat_audio_lock();
    if (mixer_music_ready) plat_synth_stop();
    plat_audio_unlock();
}

int plat_music_playing(void) {
    music_adopt();
    if (!mixer_music_ready) return mixer_pending && plat_synth_status() == PLAT_SYNTH_LOADING;
    plat_audio_lock();
    int playing = plat_synth_playing();
    plat_audio_unlock();
    return playing;
}

void plat_audio_render(float *out, int32_t frames) {
    if (!out || frames <= 0) return;
    // The music goes first and the sounds are added on top.
    music_mix_in(out, frames);
    for (PlatSound *s : mixer_sounds) {
        if (s->status & PLAT_SOUND_STATUS_PLAYING) sound_mix(s, out, frames);
    }
    // A peak limiter instead of a clamp: the gain never lets a frame past the ceiling and
    // comes back smoothly, so loud pile-ups get quieter rather than square.
    float g = mixer_limit_gain;
    for (int32_t f = 0; f < frames; f++) {
        float peak = std::max(std::fabs(out[2 * f]), std::fabs(out[2 * f + 1]));
        float allowed = peak > LIMIT_CEILING ? LIMIT_CEILING / peak : 1.0f;
        g = std::min(allowed, g > 0.9999f ? 1.0f : g + (1.0f - g) * LIMIT_RELEASE);
        out[2 * f] *= g;
        out[2 * f + 1] *= g;
    }
    mixer_limit_gain = g;
}
