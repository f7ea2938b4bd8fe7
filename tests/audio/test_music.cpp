// Music table and the synth, rendered offline on the headless backend.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "audio/music.h"
#include "audio/sound.h"
#include "platform/plat_audio.h"
#include "wav_bytes.h"

using namespace audio_bytes;

namespace {

class MusicTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(snd_init(), 1);
        synth_ok = mus_init();
    }
    void TearDown() override
    {
        mus_shutdown();
        mus_delete_all();
        snd_shutdown();
    }

    // Renders seconds of output, returning its peak level.
    float render_seconds(double seconds)
    {
        std::vector<float> block(2 * PLAT_AUDIO_BLOCK);
        float peak = 0.0f;
        int32_t blocks = (int32_t)std::ceil(seconds * PLAT_AUDIO_RATE / PLAT_AUDIO_BLOCK);
        for (int32_t b = 0; b < blocks; b++) {
            plat_audio_render(block.data(), PLAT_AUDIO_BLOCK);
            for (float v : block)
                peak = std::max(peak, std::fabs(v));
        }
        return peak;
    }

    std::string piece(const char *name, std::vector<uint8_t> notes, uint32_t ticks = 240)
    {
        return write_file(name, midi_notes(notes, ticks));
    }

    int synth_ok = 0;
};

TEST(MidiCheck, AcceptsOnlyWellFormedStandardMidiFiles)
{
    Bytes good = midi_notes({60, 64}, 240);
    EXPECT_EQ(mus_is_midi_file(good.data(), (uint32_t)good.size()), 1);

    EXPECT_EQ(mus_is_midi_file(nullptr, 100), 0);
    EXPECT_EQ(mus_is_midi_file(good.data(), 0), 0);
    EXPECT_EQ(mus_is_midi_file(good.data(), 13), 0);
    EXPECT_EQ(mus_is_midi_file(good.data(), (uint32_t)good.size() - 1), 0); // track cut short

    Bytes b = good;
    b[7] = 7; // header length
    EXPECT_EQ(mus_is_midi_file(b.data(), (uint32_t)b.size()), 0);
    b = good;
    b[9] = 3; // no such format
    EXPECT_EQ(mus_is_midi_file(b.data(), (uint32_t)b.size()), 0);
    b = good;
    b[11] = 0; // no tracks
    EXPECT_EQ(mus_is_midi_file(b.data(), (uint32_t)b.size()), 0);
    b = good;
    b[11] = 2; // announces a track that is not there
    EXPECT_EQ(mus_is_midi_file(b.data(), (uint32_t)b.size()), 0);
    b = good;
    b[18] = 0xFF, b[19] = 0xFF, b[20] = 0xFF, b[21] = 0xF0; // track length past the end
    EXPECT_EQ(mus_is_midi_file(b.data(), (uint32_t)b.size()), 0);
    b = good;
    b[0] = 'R';
    EXPECT_EQ(mus_is_midi_file(b.data(), (uint32_t)b.size()), 0);

    // An unknown chunk before the track is skipped, as the format allows.
    b.clear();
    for (size_t i = 0; i < good.size(); i++) {
        if (i == 14) {
            put_id(b, "XTRA");
            put_be32(b, 3);
            append(b, Bytes{1, 2, 3});
        }
        b.push_back(good[i]);
    }
    EXPECT_EQ(mus_is_midi_file(b.data(), (uint32_t)b.size()), 1);
}

TEST_F(MusicTest, LoadingFillsAt64AndRefusesOtherFiles)
{
    std::string path = piece("fill.mid", {60});
    for (int32_t i = 0; i < MUSIC_SLOT_COUNT; i++)
        ASSERT_EQ(mus_load_midi(path.c_str()), i);
    EXPECT_EQ(mus_load_midi(path.c_str()), -1);
    mus_delete(10);
    EXPECT_EQ(mus_status(10), 0);
    EXPECT_EQ(music_table[10].state, MUSIC_SLOT_FREE);
    EXPECT_EQ(music_table[10].segment, nullptr);
    EXPECT_EQ(mus_load_midi(path.c_str()), 10);
    mus_delete_all();

    EXPECT_EQ(mus_load_midi(scratch_path("missing.mid").c_str()), -1);
    std::string wav = write_file("not_midi.mid", pcm_wav(Bytes(100, 0x80)));
    EXPECT_EQ(mus_load_midi(wav.c_str()), -1);
    std::string empty = write_file("empty.mid", Bytes());
    EXPECT_EQ(mus_load_midi(empty.c_str()), -1);
    EXPECT_EQ(music_table[0].state, MUSIC_SLOT_FREE);
}

TEST_F(MusicTest, NoneAndFreeIdsDoNothing)
{
    for (int32_t id : {-1, MUSIC_SLOT_COUNT, 500, 3}) {
        EXPECT_EQ(mus_play(id), 0);
        EXPECT_EQ(mus_stop(id), 0);
        EXPECT_EQ(mus_status(id), 0);
        EXPECT_EQ(mus_delete(id), 1);
    }
    EXPECT_EQ(current_music, MUSIC_NONE);
}

TEST_F(MusicTest, FreshPieceReadsStoppedSoTheFirstFrameStartsIt)
{
    std::string path = piece("fresh.mid", {60});
    int32_t id = mus_load_midi(path.c_str());
    ASSERT_EQ(id, 0);
    EXPECT_EQ(music_table[id].state, MUSIC_SLOT_LOADED);
    EXPECT_EQ(mus_status(id), MUSIC_SLOT_STOPPED);
}

TEST_F(MusicTest, ShortPieceGoesFromPlayingToStoppedAtItsEnd)
{
    if (!synth_ok)
        GTEST_SKIP() << "no SoundFont installed";
    // Two half-beat notes at 120 a minute: half a second of music.
    std::string path = piece("short.mid", {60, 67}, 240);
    int32_t id = mus_load_midi(path.c_str());
    ASSERT_EQ(mus_play(id), 1);
    EXPECT_EQ(current_music, id);
    EXPECT_EQ(mus_status(id), MUSIC_SLOT_PLAYING);
    float peak = render_seconds(0.3);
    EXPECT_GT(peak, 0.001f);
    EXPECT_EQ(mus_status(id), MUSIC_SLOT_PLAYING);
    render_seconds(0.4);
    EXPECT_EQ(mus_status(id), MUSIC_SLOT_STOPPED);
    // The game's loop plays it again.
    EXPECT_EQ(mus_play(id), 1);
    render_seconds(0.1);
    EXPECT_EQ(mus_status(id), MUSIC_SLOT_PLAYING);
}

TEST_F(MusicTest, PlayStopsTheOtherPieceAndReplayRestarts)
{
    if (!synth_ok)
        GTEST_SKIP() << "no SoundFont installed";
    std::string a_path = piece("a.mid", {60, 62, 64, 65, 67, 69, 71, 72});
    std::string b_path = piece("b.mid", {48, 50, 52, 53, 55, 57, 59, 60});
    int32_t a = mus_load_midi(a_path.c_str());
    int32_t b = mus_load_midi(b_path.c_str());
    mus_play(a);
    render_seconds(0.5);
    mus_play(b);
    EXPECT_EQ(current_music, b);
    EXPECT_EQ(mus_status(a), MUSIC_SLOT_STOPPED);
    EXPECT_EQ(mus_status(b), MUSIC_SLOT_PLAYING);

    // Replaying the current piece starts it over: its 2 s are good for another 1.8 s.
    render_seconds(1.5);
    mus_play(b);
    render_seconds(1.8);
    EXPECT_EQ(mus_status(b), MUSIC_SLOT_PLAYING);
    render_seconds(0.5);
    EXPECT_EQ(mus_status(b), MUSIC_SLOT_STOPPED);
}

TEST_F(MusicTest, StopOfAnotherIdForgetsTheCurrentPiece)
{
    if (!synth_ok)
        GTEST_SKIP() << "no SoundFont installed";
    std::string path = piece("long.mid", {60, 62, 64, 65, 67, 69, 71, 72});
    int32_t a = mus_load_midi(path.c_str());
    int32_t b = mus_load_midi(path.c_str());
    mus_play(a);
    EXPECT_EQ(mus_stop(b), 1);
    EXPECT_EQ(current_music, MUSIC_NONE);
    EXPECT_EQ(mus_status(b), MUSIC_SLOT_STOPPED);
    render_seconds(0.2);
    EXPECT_EQ(mus_status(a), MUSIC_SLOT_PLAYING);

    // Stopping the piece itself silences it at once, reverb tail aside.
    mus_play(a);
    render_seconds(0.2);
    mus_stop(a);
    EXPECT_EQ(mus_status(a), MUSIC_SLOT_STOPPED);
    render_seconds(1.0);
    EXPECT_LT(render_seconds(0.2), 0.001f);
}

TEST_F(MusicTest, DeletingThePlayingPieceSilencesIt)
{
    if (!synth_ok)
        GTEST_SKIP() << "no SoundFont installed";
    std::string path = piece("del.mid", {60, 62, 64, 65, 67, 69, 71, 72});
    int32_t id = mus_load_midi(path.c_str());
    mus_play(id);
    render_seconds(0.2);
    EXPECT_EQ(mus_delete(id), 1);
    EXPECT_EQ(mus_status(id), 0);
    EXPECT_EQ(mus_play(id), 0);
    render_seconds(1.0);
    EXPECT_LT(render_seconds(0.2), 0.001f);
    // The id comes back with the next load, stopped.
    EXPECT_EQ(mus_load_midi(path.c_str()), id);
    EXPECT_EQ(mus_status(id), MUSIC_SLOT_STOPPED);
}

TEST_F(MusicTest, EffectsMixOverTheMusic)
{
    if (!synth_ok)
        GTEST_SKIP() << "no SoundFont installed";
    std::string path = piece("under.mid", {60, 62, 64, 65});
    int32_t m = mus_load_midi(path.c_str());
    std::string wav = write_file("over.wav", pcm_wav(Bytes(11025, 0xFF)));
    int32_t s = snd_load_wav(wav.c_str(), SOUND_CAPS_EFFECT);
    mus_play(m);
    render_seconds(0.1);
    snd_play(s, 0);
    std::vector<float> out(2 * PLAT_AUDIO_BLOCK);
    plat_audio_render(out.data(), PLAT_AUDIO_BLOCK);
    // The effect alone is almost full scale: the limiter holds the music under it below the clip.
    float peak = 0.0f;
    for (float v : out)
        peak = std::max(peak, std::fabs(v));
    EXPECT_GT(peak, 0.9f);
    EXPECT_LE(peak, 0.995f);
}

} // namespace
