// Sound table, WAV loading and playing, rendered offline on the headless backend. Levels are
// compared with each other, never with the mixer's own scale.
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <vector>

#include "audio/sound.h"
#include "platform/plat_audio.h"
#include "wav_bytes.h"

using namespace audio_bytes;

namespace {

class ScratchCleanup : public ::testing::Environment {
public:
    void TearDown() override { remove_scratch(); }
};
const ::testing::Environment *const scratch_cleanup = ::testing::AddGlobalTestEnvironment(new ScratchCleanup);

class SoundTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(snd_init(), 1); }
    void TearDown() override {
        snd_stop_all();
        snd_delete_all();
        snd_shutdown();
    }
    static std::vector<float> render(int32_t frames) {
        std::vector<float> out(2 * static_cast<size_t>(frames));
        plat_audio_render(out.data(), frames);
        return out;
    }
    // Mixer frames a sample of the given length lasts at hz.
    static int32_t frames_for(uint32_t samples, uint32_t hz = 11025) {
        return static_cast<int32_t>((static_cast<uint64_t>(samples) * PLAT_AUDIO_RATE + hz - 1) / hz);
    }
    static int32_t load(const char *name, const Bytes &samples, uint32_t caps = SOUND_CAPS_EFFECT) {
        return snd_load_wav(write_file(name, pcm_wav(samples)).c_str(), caps);
    }
};

TEST_F(SoundTest, TableFillsAt256AndFreedIdsComeBack) {
    std::string path = write_file("fill.wav", pcm_wav(Bytes(100, 0x80)));
    ASSERT_EQ(snd_load_wav(path.c_str(), SOUND_CAPS_EFFECT), 0);
    for (int32_t i = 1; i < 128; i++) ASSERT_EQ(snd_load_wav(path.c_str(), SOUND_CAPS_EFFECT), i);
    for (int32_t i = 128; i < SOUND_SLOT_COUNT; i++) ASSERT_EQ(snd_replicate(0), i);
    EXPECT_EQ(snd_load_wav(path.c_str(), SOUND_CAPS_EFFECT), -1);
    EXPECT_EQ(snd_replicate(0), -1);
    snd_delete(77);
    EXPECT_EQ(snd_status(77), -1);
    EXPECT_EQ(snd_replicate(3), 77);
    for (int32_t id : {-1, SOUND_SLOT_COUNT, -7}) {
        EXPECT_EQ(snd_play(id, 0), 1);
        EXPECT_EQ(snd_status(id), -1);
        EXPECT_EQ(snd_replicate(id), -1);
        EXPECT_EQ(snd_set_volume(id, 50), 0);
    }
    EXPECT_EQ(snd_init(), 1) << "init again empties the table";
    for (int32_t i = 0; i < SOUND_SLOT_COUNT; i++) ASSERT_EQ(sound_table[i].state, SOUND_SLOT_FREE);
    EXPECT_EQ(snd_load_wav(path.c_str(), SOUND_CAPS_EFFECT), 0);
    snd_shutdown(); // everything is harmless afterwards
    EXPECT_EQ(plat_audio_is_open(), 0);
    EXPECT_EQ(snd_status(0), -1);
    EXPECT_EQ(snd_play(0, 0), 1);
    EXPECT_EQ(snd_stop_all() + snd_delete_all(), 2);
}

TEST_F(SoundTest, LoadsPcmWaveFilesAndRefusesOnesThatLie) {
    Bytes samples(64, 0xA0), data = chunk("data", samples);
    Bytes fmt = chunk("fmt ", fmt_body(1, 11025, 8, true));
    Bytes good = pcm_wav(Bytes(200, 0xC0));
    const size_t data_size_at = 12 + 8 + 18 + 4;
    auto changed = [&good](size_t at, uint8_t v) {
        Bytes b = good;
        b[at] = v;
        return b;
    };
    Bytes list_body = cat({'I', 'N', 'F', 'O'}, Bytes(8, 'x'));
    const struct {
        const char *what;
        Bytes bytes;
        bool loads;
        uint32_t rate;
    } cases[] = {
        {"16-byte format chunk", pcm_wav(samples, 11025, 8, false), true, 11025},
        {"16-bit stereo 22050 (played as its bytes)", pcm_wav(samples, 22050, 16, true), true, 22050},
        {"chunk between format and data", riff_wave(cat(cat(fmt, chunk("fact", Bytes(3, 1))), data)), true, 11025},
        {"first chunk read as the format", riff_wave(cat(chunk("junk", fmt_body(1, 8000, 8, true)), data)), true, 8000},
        {"IEEE float", riff_wave(cat(chunk("fmt ", fmt_body(3, 11025, 32, true)), data)), false, 0},
        {"LIST first", riff_wave(cat(cat(chunk("LIST", list_body), fmt), data)), false, 0},
        {"no data chunk", riff_wave(fmt), false, 0},
        {"empty data", pcm_wav(Bytes()), false, 0},
        {"not WAVE", changed(8, 'A'), false, 0},
        {"empty file", Bytes(), false, 0},
        {"data size past the file", changed(data_size_at + 2, 0x10), false, 0},
        {"format size past the file", changed(17, 0xFF), false, 0},
        {"form past the file", changed(6, 0x01), false, 0},
        {"cut in the samples", Bytes(good.begin(), good.end() - 50), false, 0},
        {"cut in the format", Bytes(good.begin(), good.begin() + 30), false, 0},
    };
    for (const auto &c : cases) {
        int32_t id = snd_load_wav(write_file("case.wav", c.bytes).c_str(), SOUND_CAPS_EFFECT);
        EXPECT_EQ(id >= 0, c.loads) << c.what;
        if (id < 0) continue;
        EXPECT_EQ(sound_table[id].rate, c.rate) << c.what;
        EXPECT_EQ(sound_table[id].size, 64u) << c.what;
        EXPECT_EQ(plat_sound_frequency(sound_table[id].buffer), 11025u) << "plays at 11025 Hz: " << c.what;
        snd_delete(id);
    }
    EXPECT_EQ(snd_load_wav(scratch_path("no_such.wav").c_str(), SOUND_CAPS_EFFECT), -1);
    snd_play(-1, 0);
    for (float v : render(256)) ASSERT_EQ(v, 0.0f);
}

TEST_F(SoundTest, PlaysOnceForItsLengthRestartsAndLoops) {
    int32_t id = load("tone.wav", Bytes(1103, 0x90));
    ASSERT_GE(id, 0);
    EXPECT_EQ(snd_status(id), 0);
    snd_play(id, 0);
    EXPECT_EQ(snd_status(id), SOUND_STATUS_PLAYING);
    std::vector<float> out = render(frames_for(1103) - 10);
    EXPECT_GT(out[0], 0.0f) << "0x90 is above the middle";
    EXPECT_EQ(out[0], out[1]) << "centred";
    EXPECT_EQ(snd_status(id), SOUND_STATUS_PLAYING);
    out = render(64);
    EXPECT_EQ(snd_status(id), 0);
    EXPECT_EQ(out[2 * 63], 0.0f);
    snd_play(id, 0);
    render(480);
    EXPECT_NEAR(plat_sound_position(sound_table[id].buffer), 110.25, 2.0);
    snd_play(id, 0);
    EXPECT_EQ(plat_sound_position(sound_table[id].buffer), 0u) << "play starts from the beginning";
    snd_stop(id);
    EXPECT_EQ(snd_status(id), 0);
    EXPECT_EQ(render(64)[10], 0.0f);
    int32_t low = load("low.wav", Bytes(300, 0x70));
    snd_play(low, SOUND_PLAY_LOOPING);
    EXPECT_EQ(snd_status(low), SOUND_STATUS_PLAYING | SOUND_STATUS_LOOPING);
    out = render(frames_for(300) * 5);
    EXPECT_EQ(snd_status(low), SOUND_STATUS_PLAYING | SOUND_STATUS_LOOPING);
    EXPECT_LT(out[out.size() - 2], 0.0f) << "0x70 is below the middle";
    snd_stop_all();
    EXPECT_EQ(snd_status(low), 0);
}

TEST_F(SoundTest, ReplicasShareSamplesButPlayOnTheirOwn) {
    int32_t src = load("shared.wav", Bytes(11025, 0x90));
    int32_t copy = snd_replicate(src);
    ASSERT_EQ(copy, src + 1);
    EXPECT_EQ(sound_table[copy].size, 11025u);
    snd_play(src, 0);
    float one = render(4800)[0];
    EXPECT_EQ(snd_status(copy), 0);
    snd_play(copy, 0);
    EXPECT_NEAR(render(480)[0], 2 * one, 1e-6) << "two voices add";
    EXPECT_GT(plat_sound_position(sound_table[src].buffer), plat_sound_position(sound_table[copy].buffer));
    snd_delete(src);
    EXPECT_EQ(snd_status(copy), SOUND_STATUS_PLAYING);
    EXPECT_NEAR(render(480)[0], one, 1e-6) << "the copy keeps the samples";
}

// Volume 0..100 is -30..0 dB in hundredths of a decibel; pan is the other side's attenuation.
TEST_F(SoundTest, VolumePanAndFrequency) {
    int32_t id = load("vol.wav", Bytes(11025, 0x90));
    PlatSound *buf = sound_table[id].buffer;
    snd_play(id, SOUND_PLAY_LOOPING);
    float full = render(64)[0];
    ASSERT_GT(full, 0.0f);
    const struct { int32_t volume, centibels; } volumes[] = {{100, 0}, {50, -1500}, {0, -3000}};
    for (const auto &v : volumes) {
        EXPECT_EQ(snd_set_volume(id, v.volume), 1);
        EXPECT_EQ(plat_sound_volume(buf), v.centibels);
        EXPECT_NEAR(render(64)[0] / full, std::pow(10.0, v.centibels / 2000.0), 1e-4) << v.volume;
    }
    EXPECT_EQ(snd_set_volume(id, 101), 0);
    EXPECT_EQ(plat_sound_volume(buf), -3000) << "refused, setting kept";
    snd_set_volume(id, 100);
    // Full right silences the left; -2000 is -20 dB on the right.
    for (auto [pan, left, right] : {std::tuple{10000, 0.0, 1.0}, std::tuple{-2000, 1.0, 0.1}}) {
        EXPECT_EQ(snd_set_pan(id, pan), 1);
        std::vector<float> out = render(64);
        EXPECT_NEAR(out[0] / full, left, 1e-4) << pan;
        EXPECT_NEAR(out[1] / full, right, 1e-4) << pan;
    }
    EXPECT_EQ(snd_set_pan(id, 10001), 0);
    snd_stop(id);
    EXPECT_EQ(snd_set_frequency(id, 22050), 1);
    EXPECT_EQ(plat_sound_frequency(buf), 22050u);
    snd_play(id, 0);
    render(frames_for(11025, 22050) - 10);
    EXPECT_EQ(snd_status(id), SOUND_STATUS_PLAYING);
    render(20);
    EXPECT_EQ(snd_status(id), 0) << "twice the rate, half the time";
    EXPECT_EQ(snd_set_frequency(id, 0), 1);
    EXPECT_EQ(plat_sound_frequency(buf), 11025u);
    EXPECT_EQ(snd_set_frequency(id, 50), 0);
    int32_t plain = load("plain.wav", Bytes(100, 0x90), 0);
    EXPECT_EQ(snd_set_volume(plain, 50), 0) << "no control flags";
    EXPECT_EQ(snd_set_pan(plain, 0), 0);
    EXPECT_EQ(snd_set_frequency(plain, 11025), 0);
}

} // namespace
