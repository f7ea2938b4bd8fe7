// The generated asset files: they load with our own loaders, keep the shapes the game cuts them
// into, share one palette, and come out byte for byte the same on every run of the generator.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "audio/music.h"
#include "audio/sound.h"
#include "game/game_files.h"
#include "gfx/bitmap.h"
#include "gfx/palette.h"
#include "tests/replay/proc.h"

namespace {

const std::string ASSETS = QUORVANE_BINARY_DIR "/assets/";

using rt::read_bytes;

struct Loaded {
    BmpFile file{};
    ~Loaded() { gfx_bmp_unload(&file); }
    uint8_t at(int x, int y) const { return file.pixels[size_t(y) * size_t(file.info_header.biWidth) + size_t(x)]; }
};

TEST(Assets, PicturesLoadWithTheirGeometryAndShareThePaletteFile) {
    PaletteEntry pal_file[256] = {};
    ASSERT_EQ(gfx_palette_load_file((ASSETS + GAME_FILE_PALETTE).c_str(), pal_file), 1);
    std::vector<uint8_t> pal_text = read_bytes(ASSETS + GAME_FILE_PALETTE);
    ASSERT_FALSE(pal_text.empty());
    EXPECT_EQ(pal_text.front(), '\n');
    EXPECT_NE(pal_text.back(), '\n');

    struct Pic {
        const char *name;
        int w, h;
    } pics[] = {{GAME_FILE_STARS, 640, 480}, {GAME_FILE_OPENING, 640, 480}, {GAME_FILE_SHIPS, 372, 39},
                {GAME_FILE_PHOTON, 316, 46}, {GAME_FILE_MOON, 164, 26},     {GAME_FILE_EARTH, 408, 91}};
    for (const Pic &p : pics) {
        SCOPED_TRACE(p.name);
        Loaded b;
        ASSERT_EQ(gfx_bmp_load(&b.file, (ASSETS + p.name).c_str()), 1);
        const BmpInfoHeader &ih = b.file.info_header;
        EXPECT_EQ(ih.biWidth, p.w);
        EXPECT_EQ(ih.biHeight, p.h); // positive: stored bottom-up
        EXPECT_EQ(ih.biBitCount, 8);
        EXPECT_EQ(ih.biCompression, 0u);
        EXPECT_EQ(ih.biSizeImage, uint32_t(p.w * p.h));
        EXPECT_EQ(b.file.file_header.bfOffBits, 14u + 40u + 1024u);
        // The shot, the explosion and the turrets have their colours to themselves.
        for (int y = 0; y < p.h; y++)
            for (int x = 0; x < p.w; x++) {
                uint8_t v = b.at(x, y);
                ASSERT_TRUE(v != SHOT_COLOUR && v != GAME_COLOUR_EXPLOSION && v != GAME_COLOUR_TURRET)
                    << x << "," << y << " uses " << int(v);
            }
        auto rgb = [](const PaletteEntry &e) { return std::make_tuple(e.red, e.green, e.blue); };
        for (int i = 0; i < 256; i++) ASSERT_EQ(rgb(b.file.palette[i]), rgb(pal_file[i])) << "entry " << i;
    }
}

TEST(Assets, SoundsAndMusicLoad) {
    ASSERT_EQ(snd_init(), 1);
    for (const char *name : {GAME_FILE_CANNON, GAME_FILE_EXPLOSION}) {
        int32_t id = snd_load_wav((ASSETS + name).c_str(), SOUND_CAPS_EFFECT);
        ASSERT_GE(id, 0) << name;
        EXPECT_EQ(sound_table[id].rate, 11025u) << name;
        EXPECT_GT(sound_table[id].size, 3000u) << name;
    }
    snd_delete_all();
    snd_shutdown();
    for (const char *name : {GAME_FILE_THEME, GAME_FILE_BATTLE, GAME_FILE_VICTORY}) {
        std::vector<uint8_t> b = read_bytes(ASSETS + name);
        ASSERT_EQ(mus_is_midi_file(b.data(), uint32_t(b.size())), 1) << name;
        EXPECT_EQ(b[9], 1) << name << ": format 1";
        EXPECT_GT(b.size(), 2000u) << name;
        EXPECT_GE(mus_load_midi((ASSETS + name).c_str()), 0) << name;
    }
    mus_delete_all();
}

// --help is a question, not a folder to write into.
TEST(Assets, GeneratorAnswersHelpAndRefusesOptionsAsFolders) {
    const std::string gen = QUORVANE_BINARY_DIR "/quorvane_assetgen";
    const std::filesystem::path dir = testing::TempDir() + "quorvane_assetgen_" + std::to_string(::getpid());
    std::filesystem::create_directories(dir);
    struct Case {
        const char *args;
        int code;
        const char *out;
    };
    const Case cases[] = {{"--help", 0, "Usage: quorvane_assetgen"},
                          {"-h", 0, "Usage: quorvane_assetgen"},
                          {"--halp", 2, ""},
                          {"", 2, ""}};
    for (const Case &c : cases) {
        rt::Run r = rt::run("'" + gen + "' " + c.args, dir);
        EXPECT_EQ(r.code, c.code) << c.args;
        EXPECT_EQ(r.out.rfind(c.out, 0), 0u) << c.args << ": " << r.out;
        if (c.code) {
            EXPECT_NE(r.err.find("Usage: quorvane_assetgen"), std::string::npos) << c.args << ": " << r.err;
        }
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 0) << "nothing written";
    std::filesystem::remove_all(dir);
}

TEST(Assets, GeneratorWritesTheSameBytesOnEveryRun) {
    std::string gen = QUORVANE_BINARY_DIR "/quorvane_assetgen";
    std::string base = testing::TempDir() + "quorvane_assets_" + std::to_string(::getpid());
    std::string a = base + "_a", b = base + "_b";
    ASSERT_EQ(std::system(("mkdir -p '" + a + "' '" + b + "'").c_str()), 0);
    ASSERT_EQ(std::system(("'" + gen + "' '" + a + "'").c_str()), 0);
    ASSERT_EQ(std::system(("'" + gen + "' '" + b + "'").c_str()), 0);
    // Exactly the game's files: no stray name beside them.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(a), {}), std::ssize(GAME_FILES));
    for (const char *f : GAME_FILES) {
        SCOPED_TRACE(f);
        std::vector<uint8_t> x = read_bytes(a + "/" + f), y = read_bytes(b + "/" + f), z = read_bytes(ASSETS + f);
        ASSERT_FALSE(x.empty());
        EXPECT_TRUE(x == y);
        EXPECT_TRUE(x == z); // the build's copy is the same too
    }
    std::filesystem::remove_all(a);
    std::filesystem::remove_all(b);
}

} // namespace
