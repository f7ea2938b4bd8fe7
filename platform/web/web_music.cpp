// Music in the page: FluidSynth does not run here, so each piece was rendered at build time by
// the native synth (tools/webmusic) and the page decodes those files after the first picture.
// This file stands in for the synth behind the mixer: a piece is found by its MIDI bytes, and
// rendering copies its samples, so the game's own mixer and limiter still make the sound.
#include <emscripten.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/plat_audio.h"
#include "platform/synth/plat_synth.h"

namespace {

struct Piece {
    uint64_t key;             // FNV-1a of the MIDI file
    uint32_t end;             // frames to the last tick: the piece reports stopped there
    std::vector<int16_t> pcm; // interleaved stereo, the release tail after end
};

struct Voice {
    const Piece *piece;
    uint32_t pos;
    int32_t fade; // frames left of a release; -1 plays on to the end of the samples
};

constexpr int32_t RELEASE_FRAMES = PLAT_AUDIO_RATE / 4;

std::vector<Piece> pieces;
int32_t synth_state = PLAT_SYNTH_OFF;
Voice current{nullptr, 0, -1}, tail{nullptr, 0, -1};

uint64_t midi_key(const uint8_t *data, uint32_t size) {
    uint64_t h = 1469598103934665603ull;
    for (uint32_t i = 0; i < size; i++) h = (h ^ data[i]) * 1099511628211ull;
    return h;
}

// The piece playing gives way: let a finished one ring out, release one cut short.
void let_go(void) {
    if (!current.piece) return;
    tail = current;
    tail.fade = current.pos >= current.piece->end ? -1 : RELEASE_FRAMES;
    current = Voice{nullptr, 0, -1};
}

void mix_voice(Voice *v, float *out, int32_t frames) {
    if (!v->piece) return;
    const std::vector<int16_t> &pcm = v->piece->pcm;
    uint32_t length = static_cast<uint32_t>(pcm.size() / 2);
    for (int32_t f = 0; f < frames && v->pos < length; f++, v->pos++) {
        float gain = 1.0f / 32768.0f;
        if (v->fade >= 0) {
            if (v->fade == 0) break;
            gain *= static_cast<float>(v->fade--) / RELEASE_FRAMES;
        }
        out[2 * f] += pcm[2 * v->pos] * gain;
        out[2 * f + 1] += pcm[2 * v->pos + 1] * gain;
    }
    if (v->pos >= length || v->fade == 0) v->piece = nullptr;
}

} // namespace

// The page, for each decoded piece: its key (as two halves), its musical end and its samples
// (interleaved float stereo at the output rate, malloc'ed by the page and freed here).
extern "C" EMSCRIPTEN_KEEPALIVE void web_music_piece(uint32_t key_lo, uint32_t key_hi, uint32_t end, float *samples,
                                                     uint32_t frames) {
    Piece p{(static_cast<uint64_t>(key_hi) << 32) | key_lo, end, std::vector<int16_t>(2 * static_cast<size_t>(frames))};
    for (size_t i = 0; i < p.pcm.size(); i++) {
        float s = samples[i] * 32767.0f;
        p.pcm[i] = static_cast<int16_t>(s > 32767.0f ? 32767.0f : s < -32768.0f ? -32768.0f : s);
    }
    std::free(samples);
    if (synth_state == PLAT_SYNTH_LOADING) pieces.push_back(std::move(p));
}

// The page, when every piece it could get is in: music plays if any is.
extern "C" EMSCRIPTEN_KEEPALIVE void web_music_done(void) {
    if (synth_state == PLAT_SYNTH_LOADING) synth_state = pieces.empty() ? PLAT_SYNTH_OFF : PLAT_SYNTH_READY;
}

int plat_synth_open(int32_t, int) {
    if (synth_state != PLAT_SYNTH_OFF) return 1;
    synth_state = PLAT_SYNTH_LOADING;
    return 1;
}

int32_t plat_synth_status(void) { return synth_state; }
void plat_synth_screen_shown(void) {}
// Nothing to wait for on the page's one thread: the pieces arrive between frames.
int plat_synth_wait(void) { return synth_state == PLAT_SYNTH_READY; }

void plat_synth_close(void) {
    synth_state = PLAT_SYNTH_OFF;
    current = tail = Voice{nullptr, 0, -1};
    pieces.clear();
}

void plat_synth_prepare(const uint8_t *, uint32_t) {}

int plat_synth_play(const uint8_t *midi, uint32_t size) {
    if (synth_state != PLAT_SYNTH_READY || !midi || size == 0) return 0;
    let_go();
    uint64_t key = midi_key(midi, size);
    for (const Piece &p : pieces)
        if (p.key == key) {
            current = Voice{&p, 0, -1};
            return 1;
        }
    return 0;
}

void plat_synth_stop(void) { let_go(); }

int plat_synth_playing(void) { return current.piece && current.pos < current.piece->end; }

int plat_synth_render(float *out, int32_t frames) {
    if (synth_state != PLAT_SYNTH_READY) return 0;
    std::memset(out, 0, sizeof(float) * 2 * static_cast<size_t>(frames));
    mix_voice(&tail, out, frames);
    mix_voice(&current, out, frames);
    return 1;
}

void plat_synth_soundfont_candidates(const char *, const char *, const char *const *, int32_t,
                                     std::vector<std::string> *out) {
    if (out) out->clear();
}
void plat_synth_set_search(const char *const *, int32_t, const char *) {}
