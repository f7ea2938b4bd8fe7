// Where the SoundFont comes from, what the player is told without one, and music asked for
// while it still loads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/music.h"
#include "audio/sound.h"
#include "platform/plat_audio.h"
#include "platform/plat_headless.h"
#include "platform/synth/plat_synth.h"
#include "wav_bytes.h"

namespace {

namespace fs = std::filesystem;
using namespace audio_bytes;

// Enough of a SoundFont's header for FluidSynth to call it one, or plain text.
void put_file(const fs::path &path, bool soundfont = true) {
    fs::create_directories(path.parent_path());
    FILE *f = std::fopen(path.c_str(), "wb");
    std::fwrite(soundfont ? "RIFF\x04\x00\x00\x00sfbk" : "just text, not RIFF", 1, soundfont ? 12 : 19, f);
    std::fclose(f);
}

class SoundFontSearch : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::path(scratch_path("soundfonts"));
        fs::remove_all(dir);
        const char *env = std::getenv("QUORVANE_SOUNDFONT");
        saved_env = env ? env : "";
        had_env = env != nullptr;
    }
    void TearDown() override {
        mus_shutdown();
        snd_shutdown();
        plat_synth_set_search(nullptr, 0, nullptr);
        plat_headless_set_music_background(0);
        if (had_env)
            setenv("QUORVANE_SOUNDFONT", saved_env.c_str(), 1);
        else
            unsetenv("QUORVANE_SOUNDFONT");
        fs::remove_all(dir);
    }
    std::string p(const char *rel) { return (dir / rel).string(); }
    // Sound and music started; what starting the music said on stderr.
    static std::string start(int32_t *ok) {
        EXPECT_EQ(snd_init(), 1);
        testing::internal::CaptureStderr();
        *ok = mus_init();
        return testing::internal::GetCapturedStderr();
    }

    fs::path dir;
    std::string saved_env;
    bool had_env = false;
};

TEST_F(SoundFontSearch, OverrideThenFluidDefaultThenUsualNamesThenTheRestOfEachFolder) {
    for (const char *f : {"own/mine.sf2", "fluid/default.sf3", "a/zzz.SF3", "a/FluidR3_GM.sf3", "a/aaa.sf2",
                          "a/default-GM.sf2", "b/TimGM6mb.sf2", "b/other.sf2"})
        put_file(dir / f);
    put_file(dir / "a/broken.sf2", false);
    // Debian's default link: the file it names is listed once, in the link's place.
    fs::create_symlink(dir / "b/other.sf2", dir / "b/default-GM.sf3");
    std::string a = p("a"), b = p("b"), missing = p("nowhere");
    const char *roots[] = {a.c_str(), missing.c_str(), b.c_str()};

    struct Case {
        std::string override_path, fluid_default;
        std::vector<std::string> want;
    } cases[] = {
        {p("own/mine.sf2"),
         p("fluid/default.sf3"),
         {p("own/mine.sf2"), p("fluid/default.sf3"), p("a/default-GM.sf2"), p("a/FluidR3_GM.sf3"), p("a/aaa.sf2"),
          p("a/zzz.SF3"), p("b/default-GM.sf3"), p("b/TimGM6mb.sf2")}},
        // A missing or broken override and an empty FluidSynth default are passed over.
        {p("own/none.sf2"),
         "",
         {p("a/default-GM.sf2"), p("a/FluidR3_GM.sf3"), p("a/aaa.sf2"), p("a/zzz.SF3"), p("b/default-GM.sf3"),
          p("b/TimGM6mb.sf2")}},
        {p("a/broken.sf2"),
         p("b/TimGM6mb.sf2"),
         {p("b/TimGM6mb.sf2"), p("a/default-GM.sf2"), p("a/FluidR3_GM.sf3"), p("a/aaa.sf2"), p("a/zzz.SF3"),
          p("b/default-GM.sf3")}},
    };
    for (const Case &c : cases) {
        std::vector<std::string> got;
        plat_synth_soundfont_candidates(c.override_path.c_str(), c.fluid_default.c_str(), roots, 3, &got);
        EXPECT_EQ(got, c.want) << "override " << c.override_path;
    }
}

TEST_F(SoundFontSearch, WithNoneTheGamePlaysOnAndOneLineSaysHowToGetMusic) {
    fs::create_directories(dir / "empty");
    std::string empty = p("empty");
    const char *roots[] = {empty.c_str()};
    plat_synth_set_search(roots, 1, "");
    unsetenv("QUORVANE_SOUNDFONT");
    int32_t ok = 1;
    std::string err = start(&ok);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_EQ(err.rfind("quorvane: music is off", 0), 0u) << err;
    EXPECT_NE(err.find("QUORVANE_SOUNDFONT=FILE"), std::string::npos) << err;
    EXPECT_NE(err.find("apt install"), std::string::npos) << err;

    // Music reads stopped and plays nothing; effects still sound.
    std::string piece = write_file("silent_piece.mid", midi_notes({60, 64}, 240));
    int32_t id = mus_load_midi(piece.c_str());
    mus_play(id);
    EXPECT_EQ(mus_status(id), MUSIC_SLOT_STOPPED);
    std::string wav = write_file("still_heard.wav", pcm_wav(Bytes(2000, 0xC0)));
    int32_t s = snd_load_wav(wav.c_str(), SOUND_CAPS_EFFECT);
    snd_play(s, 0);
    std::vector<float> out(2 * PLAT_AUDIO_BLOCK);
    plat_audio_render(out.data(), PLAT_AUDIO_BLOCK);
    EXPECT_FLOAT_EQ(out[0], 0.5f);
}

TEST_F(SoundFontSearch, AnOverrideThatDoesNotLoadIsNamedAndTheSearchGoesOn) {
    std::string broken = p("broken.sf2");
    put_file(broken, false);
    setenv("QUORVANE_SOUNDFONT", broken.c_str(), 1);
    int32_t ok = 0;
    std::string err = start(&ok);
    std::string head = "quorvane: QUORVANE_SOUNDFONT=" + broken + " is not a SoundFont that loads; ";
    EXPECT_EQ(err.rfind(head, 0), 0u) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    // The rest of the line: the system's SoundFont in use, or music off without one.
    EXPECT_EQ(err.substr(head.size(), ok ? 6 : 12), ok ? "using " : "music is off") << err;
}

// On a real device the SoundFont loads on its own thread: a piece asked for meanwhile reads
// playing and sounds as soon as the SoundFont is in.
TEST_F(SoundFontSearch, MusicAskedForWhileLoadingStartsWhenReady) {
    plat_headless_set_music_background(1);
    std::string piece = write_file("early.mid", midi_notes({60, 64, 67, 72}, 480));
    int32_t ok = 0;
    start(&ok);
    EXPECT_EQ(ok, 1);
    int32_t id = mus_load_midi(piece.c_str());
    mus_play(id);
    bool was_loading = plat_synth_status() == PLAT_SYNTH_LOADING;
    int32_t while_loading = mus_status(id);
    int ready = plat_music_wait();
    if (ready && was_loading) {
        EXPECT_EQ(while_loading, MUSIC_SLOT_PLAYING);
        EXPECT_EQ(mus_status(id), MUSIC_SLOT_PLAYING);
        EXPECT_GT(render_peak(0.32), 0.01f);
    }
    if (!was_loading) GTEST_SKIP() << "the SoundFont loaded before the piece was asked for";
    if (!ready) GTEST_SKIP() << "no SoundFont installed";
}

} // namespace
