// The game's own pieces and effects rendered offline as the game plays them: screen changes
// and loop points without hard cuts, no long lull in a loop, effects that never clip.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "audio/music.h"
#include "audio/sound.h"
#include "game/game_files.h"
#include "platform/plat_audio.h"
#include "wav_bytes.h"

using namespace audio_bytes;

namespace {

const std::string ASSETS = std::string(QUORVANE_BINARY_DIR) + "/assets/";
// The game polls its piece once a frame, about every 33 ms.
constexpr int32_t FRAME_FRAMES = PLAT_AUDIO_RATE * 33 / 1000;

class GameAudio : public MusicFixture {
protected:
    // Renders seconds of stereo as the game does: one status poll a frame, a play whenever
    // the piece reads stopped (id -1: no music). Appends the left channel, and the right to
    // right; restarts gets where the piece starts again in the output (the music already
    // rendered ahead plays first).
    void play_as_game(int32_t id, double seconds, std::vector<float> *left, std::vector<float> *right = nullptr,
                      std::vector<size_t> *restarts = nullptr) {
        std::vector<float> block(2 * FRAME_FRAMES);
        for (int32_t f = 0; f < static_cast<int32_t>(seconds * 1000 / 33); f++) {
            if (id >= 0 && mus_status(id) == MUSIC_SLOT_STOPPED) {
                mus_play(id);
                if (restarts && f > 0) restarts->push_back(left->size() + plat_music_ahead());
            }
            plat_audio_render(block.data(), FRAME_FRAMES);
            for (int32_t i = 0; i < FRAME_FRAMES; i++) {
                left->push_back(block[2 * i]);
                if (right) right->push_back(block[2 * i + 1]);
            }
        }
    }
};

float largest_step(const std::vector<float> &v, size_t from, size_t to) {
    float step = 0.0f;
    for (size_t i = std::max<size_t>(from, 1); i < std::min(to, v.size()); i++)
        step = std::max(step, std::fabs(v[i] - v[i - 1]));
    return step;
}

// Without the synth's full reset between pieces, a piece that never chooses an instrument must
// still get the default one, not the one the piece before left on its channel.
TEST_F(GameAudio, APieceWithoutProgramChangesPlaysTheDefaultInstrument) {
    if (!synth_ok) GTEST_SKIP() << "no SoundFont installed";
    // Two seconds of middle C, the second piece on a church organ.
    Bytes note = {0x00, 0x90, 60, 100, 0x8F, 0x00, 0x80, 60, 0};
    int32_t plain_id = mus_load_midi(write_file("plain.mid", midi_file(note)).c_str());
    int32_t organ_id = mus_load_midi(write_file("organ.mid", midi_file(cat({0x00, 0xC0, 19}, note))).c_str());
    std::vector<float> fresh, after_organ, scratch;
    play_as_game(-1, 0.1, &scratch);
    // Each piece for a second, then four of silence to let it die away.
    const std::pair<int32_t, std::vector<float> *> pieces[] = {
        {plain_id, &fresh}, {organ_id, &scratch}, {plain_id, &after_organ}};
    for (auto [id, heard] : pieces) {
        mus_play(id);
        size_t ahead = plat_music_ahead(); // music rendered before the play is heard first
        std::vector<float> take;
        play_as_game(-1, 1.2, &take);
        heard->insert(heard->end(), take.begin() + static_cast<std::ptrdiff_t>(ahead), take.end());
        mus_stop(id);
        play_as_game(-1, 4.0, &scratch);
    }
    // The two starts fall on different places of the synth's 64-sample blocks: compare the
    // envelopes, 50 ms at a time (a decaying piano against a steady organ).
    const size_t win = PLAT_AUDIO_RATE / 20;
    double diff = 0.0, level = 0.0;
    for (size_t at = 0; at + win <= std::min(fresh.size(), after_organ.size()); at += win) {
        double a = 0.0, b = 0.0;
        for (size_t i = at; i < at + win; i++) {
            a += static_cast<double>(fresh[i]) * fresh[i];
            b += static_cast<double>(after_organ[i]) * after_organ[i];
        }
        diff += std::fabs(std::sqrt(a / win) - std::sqrt(b / win));
        level += std::sqrt(a / win);
    }
    ASSERT_GT(level, 0.0);
    EXPECT_LT(diff / level, 0.1) << "the plain piece sounds different after the organ";
}

// A screen change or a stop lets the old notes and the reverb ring out: in the 20 ms after it
// no sample step is larger than the music's largest of the second before (a cut steps by the
// whole amplitude of the moment).
TEST_F(GameAudio, StoppingOrChangingPiecesReleasesTheOldNotes) {
    if (!synth_ok) GTEST_SKIP() << "no SoundFont installed";
    // Two seconds of rest first: what sounds right after it starts is the piece before dying away.
    std::string quiet_path = write_file("quiet.mid", midi_file({0x8F, 0x00, 0x90, 60, 100, 0x83, 0x60, 0x80, 60, 0}));
    struct Change {
        const char *piece;
        double after;
        bool to_quiet; // else a plain stop
    } changes[] = {{GAME_FILE_THEME, 6.0, false}, {GAME_FILE_BATTLE, 5.0, true}};
    const size_t window = PLAT_AUDIO_RATE / 50;
    for (const Change &c : changes) {
        mus_delete_all();
        int32_t from = mus_load_midi((ASSETS + c.piece).c_str());
        int32_t to = mus_load_midi(quiet_path.c_str());
        ASSERT_GE(from, 0);
        ASSERT_GE(to, 0);
        std::vector<float> out;
        play_as_game(from, c.after, &out);
        size_t change = out.size() + plat_music_ahead(); // where the change is heard
        if (c.to_quiet)
            mus_play(to);
        else
            mus_stop(from);
        play_as_game(c.to_quiet ? to : -1, 0.3, &out);
        float before = largest_step(out, change - PLAT_AUDIO_RATE, change);
        EXPECT_LE(largest_step(out, change, change + window), before)
            << c.piece << (c.to_quiet ? " to another piece" : " stopped");
        EXPECT_GT(before, 0.001f) << c.piece << " should be sounding at " << c.after << " s";
    }
}

// Each piece played past its end by the game's polling: no step at the loop point larger
// than elsewhere, no stretch of more than 1 s at 20 dB or more under the piece's average, and
// no fade into the loop point.
TEST_F(GameAudio, PiecesLoopWithoutACutOrALull) {
    if (!synth_ok) GTEST_SKIP() << "no SoundFont installed";
    // One piece a little over one loop: the loop handling is the same for every piece.
    const char *name = GAME_FILE_VICTORY;
    int32_t id = mus_load_midi((ASSETS + name).c_str());
    ASSERT_GE(id, 0);
    std::vector<float> out, right;
    std::vector<size_t> restarts;
    play_as_game(id, 54.0, &out, &right, &restarts);
    ASSERT_EQ(restarts.size(), 1u) << name << " should loop once";
    // The synth renders in blocks of 64: what a restart does shows within 64 samples.
    size_t loop = restarts[0];
    float own = std::max(largest_step(out, 0, loop - 1), largest_step(out, loop + 65, out.size()));
    EXPECT_LE(largest_step(out, loop - 1, loop + 65), own) << name;

    // Levels of 100 ms blocks over one whole loop, from one start to the next plus the
    // start again, so the lead-out into the loop point counts.
    const size_t win = PLAT_AUDIO_RATE / 10;
    double total = 0.0;
    std::vector<double> power;
    for (size_t at = 0; at + win <= out.size(); at += win) {
        double sum = 0.0;
        for (size_t i = at; i < at + win; i++)
            sum += static_cast<double>(out[i]) * out[i] + static_cast<double>(right[i]) * right[i];
        power.push_back(sum / win);
        total += sum / win;
    }
    double average = total / power.size();
    int run = 0, longest = 0;
    for (double pw : power) {
        run = pw < average / 100.0 ? run + 1 : 0; // 20 dB under
        longest = std::max(longest, run);
    }
    EXPECT_LE(longest, 10) << name << ": " << longest * 100 << " ms at 20 dB under its average";
    // Nor does it thin out before it starts again: the last 5 s before the loop point keep
    // within 10 dB of the average.
    double lead_out = 0.0;
    size_t loop_block = loop / win;
    for (size_t k = loop_block - 50; k < loop_block; k++) lead_out += power[k];
    EXPECT_GT(lead_out / 50, average / 10.0)
        << name << ": the 5 s before its loop point are " << 10 * std::log10(lead_out / 50 / average) << " dB";
}

// The music rendered ahead reaches the output whole and in order however the device cuts its
// blocks: a block across two chunks takes the end of one and the start of the next.
TEST_F(GameAudio, MusicComesOutTheSameWhateverTheDeviceBlocks) {
    if (!synth_ok) GTEST_SKIP() << "no SoundFont installed";
    const int32_t sizes[2] = {PLAT_AUDIO_BLOCK, 1000}; // 1000 frames straddle the chunks
    std::vector<float> takes[2];
    for (int k = 0; k < 2; k++) {
        if (k) { // the same fresh synth again
            mus_shutdown();
            ASSERT_EQ(mus_init(), 1);
        }
        int32_t id = mus_load_midi((ASSETS + GAME_FILE_THEME).c_str());
        ASSERT_GE(id, 0);
        ASSERT_EQ(mus_play(id), 1);
        std::vector<float> block(2 * static_cast<size_t>(sizes[k]));
        while (takes[k].size() < 2 * static_cast<size_t>(3 * PLAT_AUDIO_RATE)) {
            plat_audio_render(block.data(), sizes[k]);
            takes[k].insert(takes[k].end(), block.begin(), block.end());
        }
    }
    size_t n = std::min(takes[0].size(), takes[1].size()), same = 0;
    while (same < n && takes[0][same] == takes[1][same]) same++;
    EXPECT_EQ(same, n) << "the outputs part at frame " << same / 2;
    float peak = 0.0f;
    for (float v : takes[0]) peak = std::max(peak, std::fabs(v));
    EXPECT_GT(peak, 0.01f);
}

// Two explosions and a cannon at the same instant, over the battle music: loud, never clipped.
TEST_F(GameAudio, ExplosionsAndCannonTogetherDoNotClip) {
    int32_t exp1 = snd_load_wav((ASSETS + GAME_FILE_EXPLOSION).c_str(), SOUND_CAPS_EFFECT);
    int32_t exp2 = snd_replicate(exp1);
    int32_t cannon = snd_load_wav((ASSETS + GAME_FILE_CANNON).c_str(), SOUND_CAPS_EFFECT);
    ASSERT_GE(exp2, 0);
    ASSERT_GE(cannon, 0);
    int32_t battle = synth_ok ? mus_load_midi((ASSETS + GAME_FILE_BATTLE).c_str()) : -1;
    std::vector<int32_t> musics{-1};
    if (battle >= 0) musics.push_back(battle);
    for (int32_t music : musics) {
        std::vector<float> out;
        play_as_game(music, 2.0, &out);
        size_t start = out.size();
        for (int32_t id : {exp1, exp2, cannon}) snd_play(id, 0);
        play_as_game(music, 2.0, &out);
        float peak = 0.0f;
        int rails = 0;
        for (size_t i = start; i < out.size(); i++) {
            peak = std::max(peak, std::fabs(out[i]));
            rails += std::fabs(out[i]) >= 0.999f;
        }
        EXPECT_GT(peak, 0.5f) << "music " << music;
        EXPECT_EQ(rails, 0) << "music " << music;
        snd_stop_all();
        mus_stop(music);
    }
}

} // namespace
