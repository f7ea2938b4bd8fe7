// Music table and the synth, rendered offline on the headless backend.
#include <gtest/gtest.h>

#include <vector>

#include "wav_bytes.h"

using namespace audio_bytes;

namespace {

class MusicTest : public MusicFixture {
protected:
    std::string piece(const char *name, std::vector<uint8_t> notes, uint32_t ticks = 240) {
        return write_file(name, midi_notes(notes, ticks));
    }
};

TEST(MidiCheck, AcceptsOnlyWellFormedStandardMidiFiles) {
    Bytes good = midi_notes({60, 64}, 240);
    EXPECT_EQ(mus_is_midi_file(good.data(), static_cast<uint32_t>(good.size())), 1);

    EXPECT_EQ(mus_is_midi_file(nullptr, 100), 0);
    // Empty, a header cut short, a track cut short.
    for (uint32_t size : {0u, 13u, static_cast<uint32_t>(good.size()) - 1})
        EXPECT_EQ(mus_is_midi_file(good.data(), size), 0) << size;

    const struct {
        size_t at;
        uint8_t value;
        const char *what;
    } broken[] = {{7, 7, "header length"},
                  {9, 3, "no such format"},
                  {11, 0, "no tracks"},
                  {11, 2, "a track that is not there"},
                  {18, 0xFF, "track length past the end"},
                  {0, 'R', "magic"}};
    for (const auto &c : broken) {
        Bytes b = good;
        b[c.at] = c.value;
        EXPECT_EQ(mus_is_midi_file(b.data(), static_cast<uint32_t>(b.size())), 0) << c.what;
    }
    // An unknown chunk before the track is skipped, as the format allows.
    Bytes b(good.begin(), good.begin() + 14);
    put_id(b, "XTRA");
    put_be(b, 3, 4);
    append(b, cat({1, 2, 3}, Bytes(good.begin() + 14, good.end())));
    EXPECT_EQ(mus_is_midi_file(b.data(), static_cast<uint32_t>(b.size())), 1);
}

// Status values: 0 free, 3 loaded and not playing (so the first frame starts it), 2 playing.
TEST_F(MusicTest, LoadingFillsAt64RefusesOtherFilesAndFreeIdsDoNothing) {
    for (int32_t id : {-1, MUSIC_SLOT_COUNT, 3}) {
        EXPECT_EQ(mus_play(id), 0);
        EXPECT_EQ(mus_stop(id), 0);
        EXPECT_EQ(mus_status(id), 0);
    }
    EXPECT_EQ(current_music, MUSIC_NONE);
    std::string path = piece("fill.mid", {60});
    for (int32_t i = 0; i < MUSIC_SLOT_COUNT; i++) ASSERT_EQ(mus_load_midi(path.c_str()), i);
    EXPECT_EQ(mus_status(0), MUSIC_SLOT_STOPPED);
    EXPECT_EQ(mus_load_midi(path.c_str()), -1);
    mus_delete(10);
    EXPECT_EQ(mus_status(10), 0);
    EXPECT_EQ(music_table[10].state, MUSIC_SLOT_FREE);
    EXPECT_EQ(music_table[10].segment, nullptr);
    EXPECT_EQ(mus_load_midi(path.c_str()), 10);
    mus_delete_all();

    EXPECT_EQ(mus_load_midi(scratch_path("missing.mid").c_str()), -1);
    EXPECT_EQ(mus_load_midi(write_file("not_midi.mid", pcm_wav(Bytes(100, 0x80))).c_str()), -1);
    EXPECT_EQ(mus_load_midi(write_file("empty.mid", Bytes()).c_str()), -1);
    EXPECT_EQ(music_table[0].state, MUSIC_SLOT_FREE);
}

TEST_F(MusicTest, PiecesPlayToTheirEndAreStoppedByAnotherRestartAndFallSilent) {
    ASSERT_TRUE(synth_ok) << "no SoundFont (timgm6mb-soundfont)";
    // Two half-beat notes at 120 a minute: half a second of music.
    std::string path = piece("short.mid", {60, 67}, 240);
    int32_t id = mus_load_midi(path.c_str());
    ASSERT_EQ(mus_play(id), 1);
    EXPECT_EQ(current_music, id);
    EXPECT_EQ(mus_status(id), MUSIC_SLOT_PLAYING);
    EXPECT_GT(render_peak(0.3), 0.001f);
    EXPECT_EQ(mus_status(id), MUSIC_SLOT_PLAYING);
    render_peak(0.4);
    EXPECT_EQ(mus_status(id), MUSIC_SLOT_STOPPED);
    // The game's loop plays it again.
    EXPECT_EQ(mus_play(id), 1);
    render_peak(0.1);
    EXPECT_EQ(mus_status(id), MUSIC_SLOT_PLAYING);

    // Playing another piece stops this one; replaying the current piece starts it over.
    mus_delete_all();
    std::string a_path = piece("a.mid", {60, 62, 64, 65, 67, 69, 71, 72});
    std::string b_path = piece("b.mid", {48, 50, 52, 53, 55, 57, 59, 60});
    int32_t a = mus_load_midi(a_path.c_str());
    int32_t b = mus_load_midi(b_path.c_str());
    mus_play(a);
    render_peak(0.5);
    mus_play(b);
    EXPECT_EQ(current_music, b);
    EXPECT_EQ(mus_status(a), MUSIC_SLOT_STOPPED);
    EXPECT_EQ(mus_status(b), MUSIC_SLOT_PLAYING);

    // b's 2 s, started over after 1.5 s, are good for another 1.8 s.
    render_peak(1.5);
    mus_play(b);
    render_peak(1.8);
    EXPECT_EQ(mus_status(b), MUSIC_SLOT_PLAYING);
    render_peak(0.5);
    EXPECT_EQ(mus_status(b), MUSIC_SLOT_STOPPED);

    // Stopping another id forgets the current piece; stopping or deleting the piece silences it.
    mus_delete_all();
    a = mus_load_midi(a_path.c_str()), b = mus_load_midi(a_path.c_str());
    mus_play(a);
    EXPECT_EQ(mus_stop(b), 1);
    EXPECT_EQ(current_music, MUSIC_NONE);
    render_peak(0.2);
    EXPECT_EQ(mus_status(a), MUSIC_SLOT_PLAYING);
    mus_stop(a);
    EXPECT_EQ(mus_status(a), MUSIC_SLOT_STOPPED);
    render_peak(2.0);
    EXPECT_LT(render_peak(0.2), 0.001f);
    mus_play(a);
    render_peak(0.2);
    EXPECT_EQ(mus_delete(a), 1);
    EXPECT_EQ(mus_status(a), 0);
    EXPECT_EQ(mus_play(a), 0);
    render_peak(2.0);
    EXPECT_LT(render_peak(0.2), 0.001f) << "deleting the playing piece silences it";
}

} // namespace
