// Cost of the audio callback's work: the effect mixer per 512-frame block, the synth per second.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "platform/plat_audio.h"

namespace {

std::vector<uint8_t> noise_samples(size_t n, uint32_t seed) {
    std::vector<uint8_t> s(n);
    for (uint8_t &b : s) {
        seed = seed * 214013u + 2531011u;
        b = static_cast<uint8_t>(seed >> 16);
    }
    return s;
}

void BM_MixerBlock16Voices(benchmark::State &state) {
    plat_audio_open();
    std::vector<uint8_t> samples = noise_samples(11025, 7);
    std::vector<PlatSound *> voices;
    PlatSound *first = plat_sound_create(samples.data(), static_cast<uint32_t>(samples.size()), 0xE0);
    voices.push_back(first);
    for (int i = 1; i < 16; i++) voices.push_back(plat_sound_duplicate(first));
    for (size_t i = 0; i < voices.size(); i++) {
        plat_sound_set_position(voices[i], static_cast<uint32_t>(i * 600));
        plat_sound_set_volume(voices[i], -static_cast<int32_t>(i) * 100);
        plat_sound_set_pan(voices[i], static_cast<int32_t>(i) * 1000 - 8000);
        plat_sound_play(voices[i], PLAT_SOUND_PLAY_LOOPING);
    }
    std::vector<float> out(2 * PLAT_AUDIO_BLOCK);
    for (auto _ : state) {
        plat_audio_render(out.data(), PLAT_AUDIO_BLOCK);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * PLAT_AUDIO_BLOCK);
    for (PlatSound *v : voices) plat_sound_release(v);
    plat_audio_close();
}
BENCHMARK(BM_MixerBlock16Voices)->Unit(benchmark::kMicrosecond);

void put_var(std::vector<uint8_t> &t, uint32_t v) {
    uint8_t tmp[5];
    int n = 0;
    do {
        tmp[n++] = static_cast<uint8_t>(v & 0x7F);
        v >>= 7;
    } while (v);
    while (n--) t.push_back(static_cast<uint8_t>(tmp[n] | (n ? 0x80 : 0)));
}

// A long piece of four-note chords on strings and piano, a chord a beat.
std::vector<uint8_t> chord_piece(int beats) {
    std::vector<uint8_t> track{0x00, 0xC0, 48, 0x00, 0xC1, 0};
    const uint8_t roots[4] = {48, 53, 55, 50};
    for (int b = 0; b < beats; b++) {
        uint8_t r = roots[b % 4];
        const uint8_t chord[4] = {r, static_cast<uint8_t>(r + 4), static_cast<uint8_t>(r + 7),
                                  static_cast<uint8_t>(r + 12)};
        for (int i = 0; i < 4; i++) {
            put_var(track, 0);
            track.push_back(static_cast<uint8_t>(0x90 | (i & 1)));
            track.push_back(chord[i]);
            track.push_back(90);
        }
        for (int i = 0; i < 4; i++) {
            put_var(track, i == 0 ? 480 : 0);
            track.push_back(static_cast<uint8_t>(0x80 | (i & 1)));
            track.push_back(chord[i]);
            track.push_back(0);
        }
    }
    track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});
    std::vector<uint8_t> midi{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0, 'M', 'T', 'r', 'k'};
    uint32_t n = static_cast<uint32_t>(track.size());
    for (int i = 3; i >= 0; i--) midi.push_back(static_cast<uint8_t>(n >> (8 * i)));
    for (uint8_t c : track) midi.push_back(c);
    return midi;
}

void BM_SynthSecond(benchmark::State &state) {
    plat_audio_open();
    if (!plat_music_open()) {
        state.SkipWithError("no SoundFont");
        return;
    }
    std::vector<uint8_t> midi = chord_piece(4000);
    plat_music_play(midi.data(), static_cast<uint32_t>(midi.size()));
    std::vector<float> out(2 * PLAT_AUDIO_BLOCK);
    const int32_t blocks = PLAT_AUDIO_RATE / PLAT_AUDIO_BLOCK; // 93.75: close enough to a second
    for (auto _ : state) {
        for (int32_t b = 0; b < blocks; b++) plat_audio_render(out.data(), PLAT_AUDIO_BLOCK);
        benchmark::DoNotOptimize(out.data());
        if (!plat_music_playing()) plat_music_play(midi.data(), static_cast<uint32_t>(midi.size()));
    }
    state.SetItemsProcessed(state.iterations() * blocks * PLAT_AUDIO_BLOCK);
    plat_music_close();
    plat_audio_close();
}
BENCHMARK(BM_SynthSecond)->Unit(benchmark::kMillisecond);

void BM_SynthSilentSecond(benchmark::State &state) {
    plat_audio_open();
    if (!plat_music_open()) {
        state.SkipWithError("no SoundFont");
        return;
    }
    std::vector<float> out(2 * PLAT_AUDIO_BLOCK);
    const int32_t blocks = PLAT_AUDIO_RATE / PLAT_AUDIO_BLOCK;
    for (auto _ : state) {
        for (int32_t b = 0; b < blocks; b++) plat_audio_render(out.data(), PLAT_AUDIO_BLOCK);
        benchmark::DoNotOptimize(out.data());
    }
    plat_music_close();
    plat_audio_close();
}
BENCHMARK(BM_SynthSilentSecond)->Unit(benchmark::kMillisecond);

} // namespace
