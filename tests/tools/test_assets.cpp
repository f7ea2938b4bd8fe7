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

uint32_t le32(const std::vector<uint8_t> &b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t(b[at + 3]) << 24);
}

struct Loaded {
    BmpFile file{};
    ~Loaded() { gfx_bmp_unload(&file); }
    uint8_t at(int x, int y) const { return file.pixels[size_t(y) * size_t(file.info_header.biWidth) + size_t(x)]; }
};

struct Sheet {
    const char *name;
    int width, height;     // the whole picture
    int cell_w, cell_h;    // one frame
    int cols, rows;
};
const Sheet SHEETS[] = {{"BLAZE8.BMP", 372, 39, 22, 18, 16, 2},
                        {"PHOTON8.BMP", 316, 46, 44, 44, 7, 1},
                        {"moon2a.BMP", 164, 26, 26, 25, 6, 1},
                        {"earthlk1.BMP", 408, 91, 44, 44, 9, 2}};

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
    // The turret colour stands apart from everything the star field shows.
    Loaded stars;
    ASSERT_EQ(gfx_bmp_load(&stars.file, (ASSETS + "stars.BMP").c_str()), 1);
    std::vector<bool> used(256, false);
    for (int y = 0; y < 480; y++)
        for (int x = 0; x < 640; x++) used[stars.at(x, y)] = true;
    EXPECT_FALSE(used[225]);
    EXPECT_FALSE(used[95]);
    for (int i = 0; i < 256; i++)
        if (used[i]) {
            EXPECT_GT(dist(p[225], p[i]), 120.0) << "star field entry " << i;
            EXPECT_GT(dist(p[95], p[i]), 40.0) << "star field entry " << i;
        }
}

TEST(Assets, SpriteCellsKeepTheKeyOnTheirBorders) {
    for (const Sheet &s : SHEETS) {
        SCOPED_TRACE(s.name);
        Loaded b;
        ASSERT_EQ(gfx_bmp_load(&b.file, (ASSETS + s.name).c_str()), 1);
        ASSERT_EQ(b.file.info_header.biWidth, s.width);
        ASSERT_EQ(b.file.info_header.biHeight, s.height);
        for (int y = 0; y < s.height; y++)
            for (int x = 0; x < s.width; x++) {
                bool border = x % (s.cell_w + 1) == 0 || y % (s.cell_h + 1) == 0 || x > s.cols * (s.cell_w + 1) ||
                              y > s.rows * (s.cell_h + 1);
                if (border) {
                    ASSERT_EQ(b.at(x, y), 0) << "border pixel " << x << "," << y;
                }
            }
        for (int r = 0; r < s.rows; r++)
            for (int c = 0; c < s.cols; c++) {
                int x0 = c * (s.cell_w + 1) + 1, y0 = r * (s.cell_h + 1) + 1;
                // Ships: the turret pivot sits on the ship; bodies: the centre is drawn.
                EXPECT_NE(s.cell_w == 22 ? b.at(x0 + 11, y0 + 8) : b.at(x0 + s.cell_w / 2, y0 + s.cell_h / 2), 0)
                    << "cell " << c << "," << r;
            }
    }
}

TEST(Assets, SoundEffectsLoadAndStartAndEndSilently) {
    struct Wav {
        const char *name;
        double min_s, max_s;
    } wavs[] = {{"CANNON.WAV", 0.3, 0.5}, {"EXP1.WAV", 1.0, 1.5}};
    ASSERT_EQ(snd_init(), 1);
    for (const Wav &w : wavs) {
        SCOPED_TRACE(w.name);
        int32_t id = snd_load_wav((ASSETS + w.name).c_str(), SOUND_CAPS_EFFECT);
        ASSERT_GE(id, 0);
        EXPECT_EQ(sound_table[id].rate, 11025u);
        std::vector<uint8_t> b = read_bytes(ASSETS + w.name);
        ASSERT_GE(b.size(), 44u);
        EXPECT_EQ(std::string(b.begin() + 12, b.begin() + 16), "fmt ");
        EXPECT_EQ(le32(b, 16), 16u);
        EXPECT_EQ(le32(b, 20), 0x00010001u); // PCM, mono
        EXPECT_EQ(le32(b, 24), 11025u);
        EXPECT_EQ(b[34], 8);
        EXPECT_EQ(std::string(b.begin() + 36, b.begin() + 40), "data");
        uint32_t n = le32(b, 40);
        ASSERT_EQ(sound_table[id].size, n);
        ASSERT_LE(44u + n, b.size());
        double seconds = n / 11025.0;
        EXPECT_GE(seconds, w.min_s);
        EXPECT_LE(seconds, w.max_s);
        EXPECT_EQ(b[44], 0x80);
        EXPECT_EQ(b[44 + n - 1], 0x80);
        int peak = 0;
        for (uint32_t i = 0; i < n; i++) peak = std::max(peak, std::abs(b[44 + i] - 128));
        EXPECT_LT(peak, 127) << "never clipped";
        EXPECT_GT(peak, 90) << "and not timid either";
    }
    snd_delete_all();
    snd_shutdown();
}

TEST(Assets, MusicIsStandardMidiThatLoads) {
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
