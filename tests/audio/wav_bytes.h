// Small RIFF/WAVE and MIDI files built byte by byte for the audio tests.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "audio/music.h"
#include "audio/sound.h"
#include "platform/plat_audio.h"

namespace audio_bytes {

typedef std::vector<uint8_t> Bytes;

inline void put_le(Bytes &b, uint32_t v, int n) {
    for (int i = 0; i < n; i++) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
inline void put_be(Bytes &b, uint32_t v, int n) {
    for (int i = n - 1; i >= 0; i--) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
inline void put_id(Bytes &b, const char *id) {
    for (int i = 0; i < 4; i++) b.push_back(static_cast<uint8_t>(id[i]));
}
// Byte by byte: GCC 12 warns falsely about range inserts into fresh vectors.
inline void append(Bytes &b, const Bytes &more) {
    for (uint8_t c : more) b.push_back(c);
}
inline Bytes cat(const Bytes &a, const Bytes &b) {
    Bytes r = a;
    append(r, b);
    return r;
}

// A chunk with its real size, padded to even length.
inline Bytes chunk(const char *id, const Bytes &body) {
    Bytes b;
    put_id(b, id);
    put_le(b, static_cast<uint32_t>(body.size()), 4);
    append(b, body);
    if (body.size() & 1) b.push_back(0);
    return b;
}

inline Bytes fmt_body(uint16_t tag, uint32_t rate, uint16_t bits, bool with_cb_size) {
    Bytes b;
    put_le(b, tag, 2);
    put_le(b, 1, 2);
    put_le(b, rate, 4);
    put_le(b, rate * (bits / 8), 4);
    put_le(b, bits / 8, 2);
    put_le(b, bits, 2);
    if (with_cb_size) put_le(b, 0, 2);
    return b;
}

inline Bytes riff_wave(const Bytes &chunks) {
    Bytes b;
    put_id(b, "RIFF");
    put_le(b, static_cast<uint32_t>(4 + chunks.size()), 4);
    put_id(b, "WAVE");
    return cat(b, chunks);
}

// An ordinary 8-bit mono 11025 Hz effect of the given samples.
inline Bytes pcm_wav(const Bytes &samples, uint32_t rate = 11025, uint16_t bits = 8, bool cb_size = true) {
    return riff_wave(cat(chunk("fmt ", fmt_body(1, rate, bits, cb_size)), chunk("data", samples)));
}

// A format-0 file of one track of the given events (end of track added), 480 ticks a beat.
inline Bytes midi_file(Bytes track) {
    append(track, {0x00, 0xFF, 0x2F, 0x00});
    Bytes b;
    put_id(b, "MThd");
    put_be(b, 6, 4);
    put_be(b, 0, 2);
    put_be(b, 1, 2);
    put_be(b, 480, 2);
    put_id(b, "MTrk");
    put_be(b, static_cast<uint32_t>(track.size()), 4);
    return cat(b, track);
}

// One track: a piano note per entry, each held note_ticks (< 16384), at 120 a minute.
inline Bytes midi_notes(const std::vector<uint8_t> &notes, uint32_t note_ticks) {
    Bytes track;
    for (uint8_t note : notes) {
        append(track, {0x00, 0x90, note, 100});
        if (note_ticks >= 128) track.push_back(static_cast<uint8_t>(0x80 | note_ticks >> 7));
        append(track, {static_cast<uint8_t>(note_ticks & 0x7F), 0x80, note, 0});
    }
    return midi_file(track);
}

// A scratch directory of this process for files the tests write.
inline std::string scratch_path(const std::string &name) {
    std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("quorvane_audio_test_" + std::to_string(static_cast<long>(getpid())));
    std::filesystem::create_directories(dir);
    return (dir / name).string();
}

inline void remove_scratch(void) {
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(scratch_path("x")).parent_path(), ec);
}

inline std::string write_file(const std::string &name, const Bytes &bytes) {
    std::string path = scratch_path(name);
    if (FILE *f = std::fopen(path.c_str(), "wb")) {
        if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    return path;
}

// Renders seconds of output in whole blocks, returning its peak level.
inline float render_peak(double seconds) {
    std::vector<float> block(2 * PLAT_AUDIO_BLOCK);
    float peak = 0.0f;
    for (int32_t b = 0; b < static_cast<int32_t>(std::ceil(seconds * PLAT_AUDIO_RATE / PLAT_AUDIO_BLOCK)); b++) {
        plat_audio_render(block.data(), PLAT_AUDIO_BLOCK);
        for (float v : block) peak = std::max(peak, std::fabs(v));
    }
    return peak;
}

// Sound and music up on the headless backend; synth_ok says whether a SoundFont loaded.
class MusicFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(snd_init(), 1);
        synth_ok = mus_init();
    }
    void TearDown() override {
        mus_shutdown();
        snd_shutdown();
    }
    int synth_ok = 0;
};

} // namespace audio_bytes
