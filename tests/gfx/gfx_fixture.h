// A fresh headless platform per case (the display started on demand), BMP files written byte
// by byte, and in-memory pictures with known pixels.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "gfx/bitmap.h"
#include "game/game_files.h"
#include "gfx/display.h"
#include "platform/plat_headless.h"
#include "platform/plat_system.h"

class Gfx : public ::testing::Test {
protected:
    static void reset() {
        gfx_display_shutdown();
        plat_headless_reset();
    }
    void SetUp() override { reset(); }
    void TearDown() override { reset(); }
    static void start_display(int32_t windowed = 0) {
        ASSERT_EQ(gfx_display_init(640, 480, 8, windowed, GAME_FILE_PALETTE), 1);
    }
};

inline uint8_t pixel_at(const PlatSurface *s, int32_t x, int32_t y) {
    return s->pixels[static_cast<size_t>(y) * s->pitch + x];
}

inline std::string draw_temp_path(const std::string &name) {
    // Named after the case: ctest runs the cases of this folder side by side.
    const char *test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    return std::string(QUORVANE_BINARY_DIR) + "/gfx_test_" + test + "_" + name;
}

inline void put_le(std::vector<uint8_t> &b, size_t at, uint32_t v, int n) {
    for (int i = 0; i < n; i++) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// What a BMP file says about itself; the builder writes exactly what it is told.
struct BmpSpec {
    int32_t width = 4;
    int32_t height = 2; // negative: top-down
    uint16_t bits = 8;
    char magic[2] = {'B', 'M'};
    int64_t size_image = -1;          // -1: the length of the pixel bytes written
    std::vector<uint8_t> pixel_bytes; // exactly as stored in the file
    std::vector<uint8_t> palette;     // 1024 bytes for 8-bit files; empty: grey ramp B,G,R,0
    bool palette_present = true;      // for 8-bit: write the palette block at all
};

inline std::vector<uint8_t> bmp_bytes(const BmpSpec &s) {
    std::vector<uint8_t> pal = s.palette;
    if (s.bits == 8 && s.palette_present && pal.empty())
        for (int i = 0; i < 1024; i++) pal.push_back(i % 4 == 3 ? 0 : static_cast<uint8_t>(i / 4));
    if (!s.palette_present) pal.clear();
    size_t off = 54 + pal.size();
    std::vector<uint8_t> b(off + s.pixel_bytes.size(), 0);
    b[0] = static_cast<uint8_t>(s.magic[0]);
    b[1] = static_cast<uint8_t>(s.magic[1]);
    uint32_t image =
        static_cast<uint32_t>(s.size_image < 0 ? static_cast<int64_t>(s.pixel_bytes.size()) : s.size_image);
    const struct {
        size_t at;
        uint32_t v;
        int n;
    } fields[] = {{2, static_cast<uint32_t>(b.size()), 4},
                  {6, 0x1111, 2},
                  {8, 0x2222, 2},
                  {10, static_cast<uint32_t>(off), 4},
                  {14, 40, 4},
                  {18, static_cast<uint32_t>(s.width), 4},
                  {22, static_cast<uint32_t>(s.height), 4},
                  {26, 1, 2},
                  {28, s.bits, 2},
                  {34, image, 4},
                  {38, 2835, 4},
                  {42, 2835, 4},
                  {46, 256, 4}};
    for (const auto &f : fields) put_le(b, f.at, f.v, f.n);
    if (!pal.empty()) std::memcpy(b.data() + 54, pal.data(), pal.size());
    if (!s.pixel_bytes.empty()) std::memcpy(b.data() + off, s.pixel_bytes.data(), s.pixel_bytes.size());
    return b;
}

inline std::string write_file(const std::string &name, const std::vector<uint8_t> &bytes) {
    std::string path = draw_temp_path(name);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    EXPECT_TRUE(out.good()) << "cannot write " << path;
    return path;
}

inline std::string read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline int count_colour(const PlatSurface *s, uint8_t colour) {
    int n = 0;
    for (int32_t y = 0; y < s->height; y++)
        for (int32_t x = 0; x < s->width; x++) n += pixel_at(s, x, y) == colour;
    return n;
}

// An 8-bit picture held in memory as a loaded BmpFile, pixel (x, y) = value(x, y).
template <typename F>
inline void make_picture8(BmpFile *file, int32_t width, int32_t height, F value) {
    *file = BmpFile{};
    file->info_header.biWidth = width;
    file->info_header.biHeight = height;
    file->info_header.biBitCount = 8;
    file->info_header.biSizeImage = static_cast<uint32_t>(width * height);
    file->pixels = new uint8_t[static_cast<size_t>(width) * height];
    for (int32_t y = 0; y < height; y++)
        for (int32_t x = 0; x < width; x++)
            file->pixels[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>(value(x, y));
}

// A 640 by 480 8-bit buffer laid out like a locked back surface.
struct Screen8 {
    static constexpr int32_t W = 640, H = 480;
    std::vector<uint8_t> px = std::vector<uint8_t>(static_cast<size_t>(W) * H, 0);
    uint8_t *mem() { return px.data(); }
    uint8_t at(int32_t x, int32_t y) const { return px[static_cast<size_t>(y) * W + x]; }
    int count(uint8_t colour) const {
        int n = 0;
        for (uint8_t v : px) n += v == colour;
        return n;
    }
};
