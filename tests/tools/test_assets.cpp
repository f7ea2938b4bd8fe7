// The generated asset files: they load with our own loaders, keep the shapes the game cuts them
// into, share one palette, and come out byte for byte the same on every run of the generator.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "audio/music.h"
#include "audio/sound.h"
#include "gfx/bitmap.h"
#include "gfx/palette.h"

namespace {

const std::string ASSETS = QUORVANE_BINARY_DIR "/assets/";
const char *const FILES[] = {"stars.BMP",  "OPENING.BMP", "BLAZE8.BMP", "PHOTON8.BMP", "moon2a.BMP", "earthlk1.BMP",
                             "PALDATA2.PAL", "CANNON.WAV", "EXP1.WAV",   "THEME.MID",   "BATTLE.MID", "2001.MID"};

std::vector<uint8_t> read_bytes(const std::string &path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

struct Loaded {
    BmpFile file{};
    ~Loaded() { gfx_bmp_unload(&file); }
    uint8_t at(int x, int y) const { return file.pixels[size_t(y) * size_t(file.info_header.biWidth) + size_t(x)]; }
};

TEST(Assets, PicturesLoadWithTheirGeometryAndShareThePaletteFile) {
    PaletteEntry pal_file[256] = {};
    ASSERT_EQ(gfx_palette_load_file((ASSETS + "PALDATA2.PAL").c_str(), pal_file), 1);
    std::vector<uint8_t> pal_text = read_bytes(ASSETS + "PALDATA2.PAL");
    ASSERT_FALSE(pal_text.empty());
    EXPECT_EQ(pal_text.front(), '\n');
    EXPECT_NE(pal_text.back(), '\n');

    struct Pic {
        const char *name;
        int w, h;
    } pics[] = {{"stars.BMP", 640, 480}, {"OPENING.BMP", 640, 480}, {"BLAZE8.BMP", 372, 39},
                {"PHOTON8.BMP", 316, 46}, {"moon2a.BMP", 164, 26},  {"earthlk1.BMP", 408, 91}};
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
        EXPECT_EQ(p.w % 4, 0);
        EXPECT_EQ(b.file.file_header.bfOffBits, 14u + 40u + 1024u);
        // The shot, the explosion and the turrets have their colours to themselves.
        for (int y = 0; y < p.h; y++)
            for (int x = 0; x < p.w; x++) {
                uint8_t v = b.at(x, y);
                ASSERT_TRUE(v != 95 && v != 187 && v != 225) << x << "," << y << " uses " << int(v);
            }
        for (int i = 0; i < 256; i++) {
            ASSERT_EQ(b.file.palette[i].red, pal_file[i].red) << "entry " << i;
            ASSERT_EQ(b.file.palette[i].green, pal_file[i].green) << "entry " << i;
            ASSERT_EQ(b.file.palette[i].blue, pal_file[i].blue) << "entry " << i;
        }
    }
}

double luma(const PaletteEntry &e) { return 0.3 * e.red + 0.59 * e.green + 0.11 * e.blue; }
double dist(const PaletteEntry &a, const PaletteEntry &b) {
    return std::sqrt(double((a.red - b.red) * (a.red - b.red) + (a.green - b.green) * (a.green - b.green) +
                            (a.blue - b.blue) * (a.blue - b.blue)));
}

TEST(Assets, FixedIndicesHaveTheColoursTheGameDrawsWith) {
    PaletteEntry p[256] = {};
    ASSERT_EQ(gfx_palette_load_file((ASSETS + "PALDATA2.PAL").c_str(), p), 1);
    EXPECT_EQ(p[0].red + p[0].green + p[0].blue, 0);
    bool red = false, green = false;
    for (const PaletteEntry &e : p) {
        red |= e.red == 255 && e.green == 0 && e.blue == 0;
        green |= e.red == 0 && e.green == 255 && e.blue == 0;
    }
    EXPECT_TRUE(red);
    EXPECT_TRUE(green);
    EXPECT_GT(luma(p[95]), 230.0); // the shot
    EXPECT_GT(p[187].red, 230);    // explosion fire: orange
    EXPECT_GT(p[187].green, 90);
    EXPECT_LT(p[187].green, 180);
    EXPECT_LT(p[187].blue, 70);
    // The turret and shot colours stand apart from everything the star field shows.
    Loaded stars;
    ASSERT_EQ(gfx_bmp_load(&stars.file, (ASSETS + "stars.BMP").c_str()), 1);
    for (int y = 0; y < 480; y += 3)
        for (int x = 0; x < 640; x += 3) {
            ASSERT_GT(dist(p[225], p[stars.at(x, y)]), 120.0) << x << "," << y;
            ASSERT_GT(dist(p[95], p[stars.at(x, y)]), 40.0) << x << "," << y;
        }
}

TEST(Assets, SoundsAndMusicLoad) {
    ASSERT_EQ(snd_init(), 1);
    for (const char *name : {"CANNON.WAV", "EXP1.WAV"}) {
        int32_t id = snd_load_wav((ASSETS + name).c_str(), SOUND_CAPS_EFFECT);
        ASSERT_GE(id, 0) << name;
        EXPECT_EQ(sound_table[id].rate, 11025u) << name;
        EXPECT_GT(sound_table[id].size, 3000u) << name;
    }
    snd_delete_all();
    snd_shutdown();
    for (const char *name : {"THEME.MID", "BATTLE.MID", "2001.MID"}) {
        std::vector<uint8_t> b = read_bytes(ASSETS + name);
        ASSERT_EQ(mus_is_midi_file(b.data(), uint32_t(b.size())), 1) << name;
        EXPECT_EQ(b[9], 1) << name << ": format 1";
        EXPECT_GT(b.size(), 2000u) << name;
        EXPECT_GE(mus_load_midi((ASSETS + name).c_str()), 0) << name;
    }
    mus_delete_all();
}

TEST(Assets, GeneratorWritesTheSameBytesOnEveryRun) {
    std::string gen = QUORVANE_BINARY_DIR "/quorvane_assetgen";
    std::string base = testing::TempDir() + "quorvane_assets_" + std::to_string(::getpid());
    std::string a = base + "_a", b = base + "_b";
    ASSERT_EQ(std::system(("mkdir -p '" + a + "' '" + b + "'").c_str()), 0);
    ASSERT_EQ(std::system(("'" + gen + "' '" + a + "'").c_str()), 0);
    ASSERT_EQ(std::system(("'" + gen + "' '" + b + "'").c_str()), 0);
    for (const char *f : FILES) {
        SCOPED_TRACE(f);
        std::vector<uint8_t> x = read_bytes(a + "/" + f), y = read_bytes(b + "/" + f), z = read_bytes(ASSETS + f);
        ASSERT_FALSE(x.empty());
        EXPECT_TRUE(x == y);
        EXPECT_TRUE(x == z); // the build's copy is the same too
    }
    std::system(("rm -rf '" + a + "' '" + b + "'").c_str());
}

} // namespace
