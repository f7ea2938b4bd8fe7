// Sound table, WAV loading and the mixer, rendered offline on the headless backend.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "audio/sound.h"
#include "platform/plat_audio.h"
#include "wav_bytes.h"

using namespace audio_bytes;

namespace {

// The files the audio tests write go when the run ends.
class ScratchCleanup : public ::testing::Environment {
public:
    void TearDown() override { remove_scratch(); }
};
const ::testing::Environment *const scratch_cleanup = ::testing::AddGlobalTestEnvironment(new ScratchCleanup);

class SoundTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(snd_init(), 1); }
    void TearDown() override
    {
        snd_stop_all();
        snd_delete_all();
        snd_shutdown();
    }

    std::vector<float> render(int32_t frames)
    {
        std::vector<float> out(2 * (size_t)frames);
        plat_audio_render(out.data(), frames);
        return out;
    }

    // Mixer frames a sample of the given length lasts at 11025 Hz.
    static int32_t frames_for(uint32_t samples)
    {
        return (int32_t)(((uint64_t)samples * PLAT_AUDIO_RATE + 11024) / 11025);
    }

    std::string effect(const char *name, const Bytes &samples)
    {
        return write_file(name, pcm_wav(samples));
    }
};

TEST_F(SoundTest, TableFillsAt256AndFreedIdsComeBack)
{
    std::string path = effect("fill.wav", Bytes(100, 0x80));
    int32_t first = snd_load_wav(path.c_str(), SOUND_CAPS_EFFECT);
    ASSERT_EQ(first, 0);
    for (int32_t i = 1; i < 128; i++)
        ASSERT_EQ(snd_load_wav(path.c_str(), SOUND_CAPS_EFFECT), i);
    for (int32_t i = 128; i < SOUND_SLOT_COUNT; i++)
        ASSERT_EQ(snd_replicate(first), i);
    EXPECT_EQ(snd_load_wav(path.c_str(), SOUND_CAPS_EFFECT), -1);
    EXPECT_EQ(snd_replicate(first), -1);

    snd_delete(77);
    EXPECT_EQ(snd_status(77), -1);
    EXPECT_EQ(sound_table[77].state, SOUND_SLOT_FREE);
    EXPECT_EQ(snd_replicate(3), 77);
    EXPECT_EQ(sound_table[77].id, 77);
    snd_delete(77);
    EXPECT_EQ(snd_load_wav(path.c_str(), SOUND_CAPS_EFFECT), 77);
}

TEST_F(SoundTest, NoneAndOutOfRangeIdsDoNothing)
{
    for (int32_t id : {-1, SOUND_SLOT_COUNT, 1000, -7}) {
        EXPECT_EQ(snd_play(id, 0), 1);
        EXPECT_EQ(snd_status(id), -1);
        EXPECT_EQ(snd_stop(id), 1);
        EXPECT_EQ(snd_delete(id), 1);
        EXPECT_EQ(snd_replicate(id), -1);
        EXPECT_EQ(snd_set_volume(id, 50), 0);
        EXPECT_EQ(snd_set_pan(id, 0), 0);
        EXPECT_EQ(snd_set_frequency(id, 11025), 0);
    }
    // A free slot behaves the same, and replicating it takes no slot.
    EXPECT_EQ(snd_status(5), -1);
    EXPECT_EQ(snd_replicate(5), -1);
    EXPECT_EQ(sound_table[0].state, SOUND_SLOT_FREE);
    EXPECT_EQ(sound_table[0].buffer, nullptr);
}

TEST_F(SoundTest, MissingFileGivesMinusOneAndTheGameLoopStaysQuiet)
{
    int32_t ids[8];
    ids[0] = snd_load_wav(scratch_path("no_such_file.wav").c_str(), SOUND_CAPS_EFFECT);
    for (int i = 1; i < 8; i++)
        ids[i] = snd_replicate(ids[0]);
    for (int32_t id : ids) {
        EXPECT_EQ(id, -1);
        EXPECT_EQ(snd_status(id), -1);
        EXPECT_EQ(snd_play(id, 0), 1);
    }
    std::vector<float> out = render(512);
    for (float v : out)
        ASSERT_EQ(v, 0.0f);
}

TEST_F(SoundTest, FormatChunkVariants)
{
    Bytes samples(64, 0xA0);
    Bytes data = chunk("data", samples);

    // A 16-byte PCM format chunk (no cbSize) loads.
    std::string path = write_file("fmt16.wav", pcm_wav(samples, 11025, 8, false));
    int32_t id = snd_load_wav(path.c_str(), SOUND_CAPS_EFFECT);
    EXPECT_EQ(id, 0);
    EXPECT_EQ(sound_table[0].size, 64u);
    EXPECT_EQ(sound_table[0].rate, 11025u);

    // Non-PCM (IEEE float, 3) is refused and the slot stays free.
    path = write_file("float.wav", riff_wave(cat(chunk("fmt ", fmt_body(3, 11025, 32, true)), data)));
    EXPECT_EQ(snd_load_wav(path.c_str(), SOUND_CAPS_EFFECT), -1);
    EXPECT_EQ(sound_table[1].state, SOUND_SLOT_FREE);

    // A first chunk that is not the format chunk is read as one: "INFO" is no PCM tag.
    Bytes list_body;
    put_id(list_body, "INFO");
    put_id(list_body, "ICMT");
    put_le32(list_body, 10);
    append(list_body, Bytes(10, 'x'));
    path = write_file("list_first.wav",
                      riff_wave(cat(cat(chunk("LIST", list_body), chunk("fmt ", fmt_body(1, 11025, 8, true))), data)));
    EXPECT_EQ(snd_load_wav(path.c_str(), SOUND_CAPS_EFFECT), -1);

    // ...unless its bytes happen to read tag 1: then it loads, whatever its id.
    path = write_file("junk_first.wav", riff_wave(cat(chunk("junk", fmt_body(1, 8000, 8, true)), data)));
    EXPECT_EQ(snd_load_wav(path.c_str(), SOUND_CAPS_EFFECT), 1);
    EXPECT_EQ(sound_table[1].rate, 8000u);

    // Chunks between the format and the data are skipped, odd ones by their pad byte.
    path = write_file("extra.wav", riff_wave(cat(cat(chunk("fmt ", fmt_body(1, 11025, 8, true)),
                                                     chunk("fact", Bytes(3, 1))),
                                                 data)));
    EXPECT_EQ(snd_load_wav(path.c_str(), SOUND_CAPS_EFFECT), 2);
    EXPECT_EQ(sound_table[2].size, 64u);

    // No data chunk, an empty data chunk, not WAVE, not RIFF, empty file.
    path = write_file("nodata.wav", riff_wave(chunk("fmt ", fmt_body(1, 11025, 8, true))));
    EXPECT_EQ(snd_load_wav(path.c_str(), SOUND_CAPS_EFFECT), -1);
    path = write_file("emptydata.wav", pcm_wav(Bytes()));
    EXPECT_EQ(snd_load_wav(path.c_str(), SOUND_CAPS_EFFECT), -1);
    Bytes avi = pcm_wav(samples);
    avi[8] = 'A', avi[9] = 'V', avi[10] = 'I', avi[11] = ' ';
    path = write_file("avi.wav", avi);
    EXPECT_EQ(snd_load_wav(path.c_str(), SOUND_CAPS_EFFECT), -1);
    path = write_file("text.wav", Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '\n'});
    EXPECT_EQ(snd_load_wav(path.c_str(), SOUND_CAPS_EFFECT), -1);
    path = write_file("empty.wav", Bytes());
    EXPECT_EQ(snd_load_wav(path.c_str(), SOUND_CAPS_EFFECT), -1);
    EXPECT_EQ(sound_table[3].state, SOUND_SLOT_FREE);
}

TEST_F(SoundTest, SizesThatLieAreRefused)
{
    Bytes samples(200, 0xC0);
    Bytes good = pcm_wav(samples);
    const size_t data_size_at = 12 + 8 + 18 + 4; // RIFF header, fmt chunk, "data"

    Bytes data_lies = good;
    data_lies[data_size_at + 2] = 0x10; // about a megabyte more than the file holds
    std::string path = write_file("data_lies.wav", data_lies);
    EXPECT_EQ(snd_load_wav(path.c_str(), SOUND_CAPS_EFFECT), -1);

    Bytes huge = good;
    for (int i = 0; i < 4; i++)
        huge[data_size_at + i] = 0xFF;
    path = write_file("data_huge.wav", huge);
    EXPECT_EQ(snd_load_wav(path.c_str(), SOUND_CAPS_EFFECT), -1);

    Bytes fmt_lies = good;
    fmt_lies[16] = 0xF0, fmt_lies[17] = 0xFF;
    path = write_file("fmt_lies.wav", fmt_lies);
    EXPECT_EQ(snd_load_wav(path.c_str(), SOUND_CAPS_EFFECT), -1);

    Bytes form_lies = good;
    form_lies[6] = 0x01; // form 64 KiB longer than the file
    path = write_file("form_lies.wav", form_lies);
    EXPECT_EQ(snd_load_wav(path.c_str(), SOUND_CAPS_EFFECT), -1);

    // Cut short inside the samples, or inside the format record.
    Bytes cut = good;
    cut.resize(good.size() - 50);
    path = write_file("cut.wav", cut);
    EXPECT_EQ(snd_load_wav(path.c_str(), SOUND_CAPS_EFFECT), -1);
    Bytes cut_fmt = good;
    cut_fmt.resize(30);
    path = write_file("cut_fmt.wav", cut_fmt);
    EXPECT_EQ(snd_load_wav(path.c_str(), SOUND_CAPS_EFFECT), -1);

    EXPECT_EQ(sound_table[0].state, SOUND_SLOT_FREE);
    path = write_file("good.wav", good);
    EXPECT_EQ(snd_load_wav(path.c_str(), SOUND_CAPS_EFFECT), 0);
}

TEST_F(SoundTest, OtherPcmFormatsPlayTheirBytesAs11025HzMono8Bit)
{
    Bytes samples(441, 0x90);
    std::string path = write_file("stereo16.wav", pcm_wav(samples, 22050, 16, true));
    int32_t id = snd_load_wav(path.c_str(), SOUND_CAPS_EFFECT);
    ASSERT_EQ(id, 0);
    EXPECT_EQ(sound_table[id].rate, 22050u);
    EXPECT_EQ(sound_table[id].size, 441u);
    EXPECT_EQ(plat_sound_frequency(sound_table[id].buffer), 11025u);
    snd_play(id, 0);
    render(frames_for(441) - 8);
    EXPECT_EQ(snd_status(id), SOUND_STATUS_PLAYING);
    render(16);
    EXPECT_EQ(snd_status(id), 0);
}

TEST_F(SoundTest, PlaysForItsLengthThenReadsStopped)
{
    std::string path = effect("tone.wav", Bytes(1103, 0xC0));
    int32_t id = snd_load_wav(path.c_str(), SOUND_CAPS_EFFECT);
    ASSERT_GE(id, 0);
    EXPECT_EQ(snd_status(id), 0);
    ASSERT_EQ(snd_play(id, 0), 1);
    EXPECT_EQ(snd_status(id), SOUND_STATUS_PLAYING);

    std::vector<float> out = render(512);
    EXPECT_FLOAT_EQ(out[0], 0.5f);
    EXPECT_FLOAT_EQ(out[1], 0.5f);
    EXPECT_FLOAT_EQ(out[1001], 0.5f);

    int32_t total = frames_for(1103);
    render(total - 512 - 10);
    EXPECT_EQ(snd_status(id), SOUND_STATUS_PLAYING);
    out = render(512);
    EXPECT_EQ(snd_status(id), 0);
    EXPECT_EQ(out[2 * 511], 0.0f); // nothing after the end

    // Once more: each play starts from the beginning.
    snd_play(id, 0);
    EXPECT_EQ(plat_sound_position(sound_table[id].buffer), 0u);
    EXPECT_EQ(snd_status(id), SOUND_STATUS_PLAYING);
}

TEST_F(SoundTest, PlayingAgainRestartsAndStopRewinds)
{
    std::string path = effect("restart.wav", Bytes(11025, 0xB0));
    int32_t id = snd_load_wav(path.c_str(), SOUND_CAPS_EFFECT);
    ASSERT_GE(id, 0);
    snd_play(id, 0);
    render(4800); // 0.1 s
    uint32_t pos = plat_sound_position(sound_table[id].buffer);
    EXPECT_NEAR((double)pos, 1102.5, 2.0);
    snd_play(id, 0);
    EXPECT_EQ(plat_sound_position(sound_table[id].buffer), 0u);
    EXPECT_EQ(snd_status(id), SOUND_STATUS_PLAYING);
    render(4800);
    snd_stop(id);
    EXPECT_EQ(snd_status(id), 0);
    EXPECT_EQ(plat_sound_position(sound_table[id].buffer), 0u);
    std::vector<float> out = render(512);
    EXPECT_EQ(out[100], 0.0f);
}

TEST_F(SoundTest, LoopingKeepsPlayingUntilStopped)
{
    std::string path = effect("loop.wav", Bytes(300, 0x40));
    int32_t id = snd_load_wav(path.c_str(), SOUND_CAPS_EFFECT);
    ASSERT_GE(id, 0);
    snd_play(id, SOUND_PLAY_LOOPING);
    EXPECT_EQ(snd_status(id), SOUND_STATUS_PLAYING | SOUND_STATUS_LOOPING);
    std::vector<float> out = render(frames_for(300) * 5);
    EXPECT_EQ(snd_status(id), SOUND_STATUS_PLAYING | SOUND_STATUS_LOOPING);
    EXPECT_FLOAT_EQ(out[out.size() - 2], -0.5f);
    snd_stop_all();
    EXPECT_EQ(snd_status(id), 0);
}

TEST_F(SoundTest, ReplicasShareSamplesButPlayOnTheirOwn)
{
    std::string path = effect("shared.wav", Bytes(11025, 0xA0));
    int32_t src = snd_load_wav(path.c_str(), SOUND_CAPS_EFFECT);
    int32_t copy = snd_replicate(src);
    ASSERT_EQ(src, 0);
    ASSERT_EQ(copy, 1);
    EXPECT_EQ(sound_table[copy].id, copy);
    EXPECT_EQ(sound_table[copy].state, SOUND_SLOT_LOADED);
    EXPECT_EQ(sound_table[copy].size, sound_table[src].size);
    EXPECT_NE(sound_table[copy].buffer, sound_table[src].buffer);

    snd_play(src, 0);
    render(4800);
    EXPECT_EQ(snd_status(copy), 0);
    snd_play(copy, 0);
    std::vector<float> out = render(480);
    EXPECT_FLOAT_EQ(out[0], 0.5f); // two voices of 0.25
    EXPECT_GT(plat_sound_position(sound_table[src].buffer), plat_sound_position(sound_table[copy].buffer));

    // The source goes; the copy still holds the samples and plays to its end.
    snd_delete(src);
    EXPECT_EQ(snd_status(src), -1);
    EXPECT_EQ(snd_status(copy), SOUND_STATUS_PLAYING);
    out = render(480);
    EXPECT_FLOAT_EQ(out[0], 0.25f);
    render(48000);
    EXPECT_EQ(snd_status(copy), 0);
    EXPECT_EQ(snd_replicate(copy), 0);
}

TEST_F(SoundTest, VolumePanAndFrequency)
{
    std::string path = effect("vol.wav", Bytes(11025, 0xC0));
    int32_t id = snd_load_wav(path.c_str(), SOUND_CAPS_EFFECT);
    ASSERT_GE(id, 0);
    PlatSound *buf = sound_table[id].buffer;

    EXPECT_EQ(snd_set_volume(id, 100), 1);
    EXPECT_EQ(plat_sound_volume(buf), 0);
    EXPECT_EQ(snd_set_volume(id, 50), 1);
    EXPECT_EQ(plat_sound_volume(buf), -1500);
    EXPECT_EQ(snd_set_volume(id, 0), 1);
    EXPECT_EQ(plat_sound_volume(buf), -3000);
    snd_play(id, 0);
    std::vector<float> out = render(64);
    EXPECT_NEAR(out[0], 0.5 * std::pow(10.0, -1.5), 1e-6); // -30 dB
    // Above 100 would be louder than full level: refused, setting kept.
    EXPECT_EQ(snd_set_volume(id, 101), 0);
    EXPECT_EQ(plat_sound_volume(buf), -3000);

    EXPECT_EQ(snd_set_volume(id, 100), 1);
    EXPECT_EQ(snd_set_pan(id, 10000), 1);
    out = render(64);
    EXPECT_EQ(out[0], 0.0f);
    EXPECT_FLOAT_EQ(out[1], 0.5f);
    EXPECT_EQ(snd_set_pan(id, -2000), 1);
    out = render(64);
    EXPECT_FLOAT_EQ(out[0], 0.5f);
    EXPECT_NEAR(out[1], 0.05f, 1e-6); // -20 dB on the right
    EXPECT_EQ(snd_set_pan(id, 10001), 0);

    EXPECT_EQ(snd_set_frequency(id, 22050), 1);
    EXPECT_EQ(plat_sound_frequency(buf), 22050u);
    EXPECT_EQ(snd_set_frequency(id, 0), 1);
    EXPECT_EQ(plat_sound_frequency(buf), 11025u);
    EXPECT_EQ(snd_set_frequency(id, 50), 0);
    EXPECT_EQ(snd_set_frequency(id, -5), 0);

    // Without the control flags the settings are refused.
    int32_t plain = snd_load_wav(path.c_str(), 0);
    EXPECT_EQ(snd_set_volume(plain, 50), 0);
    EXPECT_EQ(snd_set_pan(plain, 0), 0);
    EXPECT_EQ(snd_set_frequency(plain, 11025), 0);
}

TEST_F(SoundTest, ManyLoudVoicesAreLimitedInsteadOfWrapping)
{
    std::string hi = effect("hi.wav", Bytes(4000, 0xFF));
    std::string lo = effect("lo.wav", Bytes(4000, 0x00));
    int32_t a = snd_load_wav(hi.c_str(), SOUND_CAPS_EFFECT);
    int32_t b = snd_load_wav(lo.c_str(), SOUND_CAPS_EFFECT);
    std::vector<int32_t> ids{a};
    for (int i = 0; i < 15; i++)
        ids.push_back(snd_replicate(a));
    for (int32_t id : ids)
        snd_play(id, 0);
    std::vector<float> out = render(2048);
    for (float v : out)
        ASSERT_FLOAT_EQ(v, 0.995f);

    snd_stop_all();
    ids = {b};
    for (int i = 0; i < 15; i++)
        ids.push_back(snd_replicate(b));
    for (int32_t id : ids)
        snd_play(id, 0);
    out = render(2048);
    for (float v : out)
        ASSERT_FLOAT_EQ(v, -0.995f);
}

TEST_F(SoundTest, InitAgainClearsTheTable)
{
    std::string path = effect("reinit.wav", Bytes(5000, 0xC0));
    int32_t id = snd_load_wav(path.c_str(), SOUND_CAPS_EFFECT);
    snd_replicate(id);
    snd_play(id, SOUND_PLAY_LOOPING);
    EXPECT_EQ(snd_init(), 1);
    for (int32_t i = 0; i < SOUND_SLOT_COUNT; i++) {
        ASSERT_EQ(sound_table[i].buffer, nullptr);
        ASSERT_EQ(sound_table[i].state, SOUND_SLOT_FREE);
        ASSERT_EQ(sound_table[i].id, i);
    }
    std::vector<float> out = render(512);
    EXPECT_EQ(out[10], 0.0f);
    EXPECT_EQ(snd_load_wav(path.c_str(), SOUND_CAPS_EFFECT), 0);
}

TEST(SoundNoDevice, EverythingIsHarmlessAfterShutdown)
{
    // After shutdown the device is gone: loads fail cleanly, the rest does nothing.
    ASSERT_EQ(snd_init(), 1);
    snd_shutdown();
    EXPECT_EQ(plat_audio_is_open(), 0);
    std::string path = write_file("closed.wav", pcm_wav(Bytes(100, 0xC0)));
    EXPECT_EQ(plat_sound_create(reinterpret_cast<const uint8_t *>("abc"), 3, 0), nullptr);
    EXPECT_EQ(snd_status(0), -1);
    EXPECT_EQ(snd_play(0, 0), 1);
    EXPECT_EQ(snd_stop_all(), 1);
    EXPECT_EQ(snd_delete_all(), 1);
    (void)path;
}

} // namespace
