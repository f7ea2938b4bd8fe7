// The asset generator: every picture, sound and piece of music of the game, made from code.
// Output depends only on fixed seeds in the code (no clock, no libc rand), so every run writes the same bytes.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "game/game_files.h"

struct GenColour {
    uint8_t red, green, blue;
};

// Our own generator (xorshift32 with a fixed seed per asset), so no libc state leaks in.
struct GenRandom {
    uint32_t state;
};

// An 8-bit picture, top row first.
struct GenPicture {
    int32_t width, height;
    std::vector<uint8_t> pixels;
};

// One note of a MIDI part, times in ticks.
struct GenNote {
    uint32_t start, length;
    uint8_t channel, pitch, velocity;
};

// One track of a MIDI file: notes plus program, volume and pan set at tick 0.
struct GenTrack {
    std::string name;
    uint8_t channel;
    int32_t program; // -1 for none (drums)
    uint8_t volume, pan, reverb;
    std::vector<GenNote> notes;
};

struct GenSong {
    uint32_t ticks_per_beat;
    uint32_t micros_per_beat;
    std::vector<GenTrack> tracks;
};

// Palette index ranges (documented in docs/palette.md). The single entries the game draws with
// are game/game_files.h's; the ramps that are particle classes span exactly the game's classes,
// and the red and green ramps end on the exact text colours.
constexpr int GEN_SPACE = 1, GEN_SPACE_N = 15;
constexpr int GEN_GREY = GAME_COLOUR_GREY_FIRST, GEN_GREY_N = GAME_COLOUR_GREY_LAST - GEN_GREY + 1;
constexpr int GEN_VIOLET = 32, GEN_VIOLET_N = 16;
constexpr int GEN_TEAL = 48, GEN_TEAL_N = 16;
constexpr int GEN_HULL = 64, GEN_HULL_N = 16;
constexpr int GEN_GOLD = 80, GEN_GOLD_N = 15;
constexpr int GEN_FIRE = GAME_COLOUR_FIRE_FIRST, GEN_FIRE_N = GAME_COLOUR_FIRE_LAST - GEN_FIRE + 1;
constexpr int GEN_PHOTON = 112, GEN_PHOTON_N = 32;
constexpr int GEN_OCEAN = GAME_COLOUR_OCEAN_FIRST, GEN_OCEAN_N = GAME_COLOUR_OCEAN_LAST - GEN_OCEAN + 1;
constexpr int GEN_LAND = 160, GEN_LAND_N = 16;
constexpr int GEN_DESERT = 176, GEN_DESERT_N = 11;
constexpr int GEN_MOON = 188, GEN_MOON_N = 20;
constexpr int GEN_RED = 208, GEN_RED_N = GAME_COLOUR_TEXT_RED - GEN_RED + 1;
constexpr int GEN_TURRET_DIM = 224;
constexpr int GEN_GREEN = 226, GEN_GREEN_N = GAME_COLOUR_TEXT_GREEN - GEN_GREEN + 1;
constexpr int GEN_TITLE = 240, GEN_TITLE_N = 16;

extern GenColour gen_palette[256];

void gen_build_palette(void);
// main, before any picture is made.

uint32_t gen_rand(GenRandom *rng);
// every generator: 32 random bits.
float gen_randf(GenRandom *rng);
// every generator: uniform in [0, 1).
float gen_noise3(float x, float y, float z, uint32_t seed);
// pictures: smooth value noise in [0, 1] on an integer lattice.
float gen_fbm3(float x, float y, float z, uint32_t seed, int octaves);
// pictures: a few octaves of gen_noise3, in [0, 1].
float gen_dither(int x, int y);
// pictures: ordered dither threshold in [0, 1) for pixel (x, y).
uint8_t gen_ramp(int first, int count, float t, float dither);
// pictures: the entry of a ramp at brightness t (0..1), dithered; never below first.
uint8_t gen_nearest(float r, float g, float b, int first, int last);
// pictures: the entry of first..last closest to a colour (0..255 floats).
void gen_fill_holes(GenPicture *pic, int x0, int y0, int w, int h, uint8_t fill);
// sprites: any 0 not reachable from the cell's edge becomes fill, so shapes never hold a key hole.

int gen_write_bmp(const std::string &path, const GenPicture &pic);
int gen_write_palette(const std::string &path);
int gen_write_wav(const std::string &path, const std::vector<uint8_t> &samples);
int gen_write_midi(const std::string &path, const GenSong &song);
// main: each returns 1, or 0 when the file cannot be written.

int gen_make_pictures(const std::string &dir);
// main: the six BMP files.
int gen_make_sounds(const std::string &dir);
// main: the two WAV files.
int gen_make_music(const std::string &dir);
// main: the three MIDI files.

int gen_write_png(const std::string &path, int32_t width, int32_t height, const std::vector<uint8_t> &rgba);
// icons: writes 8-bit RGBA rows (top first) as a PNG; 1, or 0 when the file cannot be written.
std::vector<uint8_t> gen_draw_icon(int32_t size);
// icons: the desktop icon, size x size RGBA, straight (not premultiplied) alpha.
// The icon's sizes in pixels, one line: CMake reads it to install each.
constexpr int32_t GEN_ICON_SIZES[] = {16, 24, 32, 48, 64, 128, 256, 512};
std::string gen_draw_icon_svg(void);
// icons: the same picture as an SVG document.
int gen_make_icons(const std::string &dir);
// main --icons: quorvane-SIZE.png for each of GEN_ICON_SIZES and quorvane.svg.
