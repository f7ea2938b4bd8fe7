// BMP files byte by byte, and the pixel images cut from them.
#include "gfx_fixture.h"

#include <algorithm>
#include <vector>

namespace {

using V = std::vector<uint8_t>;

V pixels_of(const BmpFile &f, size_t n) { return V(f.pixels, f.pixels + n); }
V image_bytes(const PixelImage &im) { return V(im.buffer, im.buffer + im.size); }

// A 4 by 2 picture storing the rows 1 2 3 4 and then 5 6 7 8 (bottom row first).
BmpSpec four_by_two() {
    BmpSpec s;
    s.pixel_bytes = {1, 2, 3, 4, 5, 6, 7, 8};
    return s;
}

int load(BmpFile *f, const BmpSpec &s) { return gfx_bmp_load(f, write_file("t.bmp", bmp_bytes(s)).c_str()); }

} // namespace

TEST(Bmp, PaletteIsRedGreenBlueWithNoCollapseFlagsAndHeadersAreKept) {
    BmpSpec s = four_by_two();
    s.palette.assign(1024, 99);
    s.palette[5 * 4 + 0] = 10; // stored blue, green, red, reserved
    s.palette[5 * 4 + 1] = 20;
    s.palette[5 * 4 + 2] = 30;
    BmpFile f{};
    ASSERT_EQ(load(&f, s), 1);
    EXPECT_EQ(f.palette[5].red, 30);
    EXPECT_EQ(f.palette[5].green, 20);
    EXPECT_EQ(f.palette[5].blue, 10);
    for (const PaletteEntry &e : f.palette) ASSERT_EQ(e.flags, PC_NOCOLLAPSE);
    EXPECT_EQ(f.file_header.bfReserved1, 0x1111);
    EXPECT_EQ(f.file_header.bfOffBits, 54u + 1024u);
    EXPECT_EQ(f.info_header.biXPelsPerMeter, 2835);
    EXPECT_EQ(f.info_header.biSizeImage, 8u);
    EXPECT_EQ(gfx_bmp_unload(&f), 1);
    EXPECT_EQ(f.pixels, nullptr);
    EXPECT_EQ(f.info_header.biWidth, 4) << "unload keeps the headers";
}

TEST(Bmp, RowsComeOutTopRowFirst) {
    const struct {
        const char *what;
        int32_t width, height;
        int64_t size_image;
        V stored, out;
    } cases[] = {
        {"bottom-up", 4, 2, -1, {1, 2, 3, 4, 5, 6, 7, 8}, {5, 6, 7, 8, 1, 2, 3, 4}},
        {"three rows", 2, 3, -1, {1, 1, 0, 0, 2, 2, 0, 0, 3, 3, 0, 0}, {3, 3, 2, 2, 1, 1}},
        {"top-down", 4, -2, -1, {1, 2, 3, 4, 5, 6, 7, 8}, {1, 2, 3, 4, 5, 6, 7, 8}},
        {"padded rows", 3, 2, -1, {1, 2, 3, 0xEE, 4, 5, 6, 0xEE}, {4, 5, 6, 1, 2, 3}},
        {"image size 0", 3, 2, 0, {1, 2, 3, 0xEE, 4, 5, 6, 0xEE}, {4, 5, 6, 1, 2, 3}},
        {"pixels are the last bytes", 4, 2, 8, {0xAA, 0xBB, 1, 2, 3, 4, 5, 6, 7, 8}, {5, 6, 7, 8, 1, 2, 3, 4}},
    };
    for (const auto &c : cases) {
        BmpSpec s;
        s.width = c.width;
        s.height = c.height;
        s.size_image = c.size_image;
        s.pixel_bytes = c.stored;
        BmpFile f{};
        ASSERT_EQ(load(&f, s), 1) << c.what;
        EXPECT_EQ(pixels_of(f, c.out.size()), c.out) << c.what;
        gfx_bmp_unload(&f);
    }
    V b = {1, 1, 2, 2, 3, 3, 4, 4};
    EXPECT_EQ(gfx_bmp_flip(b.data(), 2, 4) + gfx_bmp_flip(b.data(), 4, 2), 2);
    EXPECT_EQ(b, (V{2, 2, 1, 1, 4, 4, 3, 3})) << "lines of 2 reversed, then lines of 4";
}

// Refused files leave no pixels behind to be read with the new headers.
TEST(Bmp, RefusesOtherMagicDepthsAndHeadersThatLie) {
    std::vector<std::pair<const char *, V>> cases;
    auto with = [&](const char *what, auto change) {
        BmpSpec s = four_by_two();
        change(s);
        cases.push_back({what, bmp_bytes(s)});
    };
    with("magic MB", [](BmpSpec &s) { s.magic[0] = 'M', s.magic[1] = 'B'; });
    for (uint16_t bits : {1, 4, 32}) with("depth", [bits](BmpSpec &s) { s.bits = bits, s.palette_present = false; });
    with("width 0", [](BmpSpec &s) { s.width = 0; });
    with("negative width", [](BmpSpec &s) { s.width = -4; });
    with("width past 16384", [](BmpSpec &s) { s.width = BMP_MAX_DIMENSION + 1; });
    with("most negative height", [](BmpSpec &s) { s.height = INT32_MIN; });
    with("image size past the file", [](BmpSpec &s) { s.size_image = 0xFFFFFFF0u; });
    with("pixels cut short", [](BmpSpec &s) { s.pixel_bytes.resize(5), s.size_image = 8; });
    with("rows wider than stored", [](BmpSpec &s) { s.width = 8; });
    V full = bmp_bytes(four_by_two());
    cases.push_back({"empty file", {}});
    cases.push_back({"headers only", V(full.begin(), full.begin() + 54)});
    BmpFile f{};
    for (const auto &c : cases) {
        ASSERT_EQ(load(&f, four_by_two()), 1);
        EXPECT_EQ(gfx_bmp_load(&f, write_file("bad.bmp", c.second).c_str()), 0) << c.first;
        EXPECT_EQ(f.pixels, nullptr) << c.first;
    }
    ASSERT_EQ(load(&f, four_by_two()), 1);
    uint8_t *kept = f.pixels;
    EXPECT_EQ(gfx_bmp_load(&f, draw_temp_path("no_such.bmp").c_str()), 0);
    EXPECT_EQ(f.pixels, kept) << "a missing file leaves the record alone";
    gfx_bmp_unload(&f);
}

// Cell (c, r) of a w by h image starts at pixel (c * (w + 1) + 1, r * (h + 1) + 1); mode 1 takes pixels.
TEST(PixelImage, CellsAndPixelPositionsWithZerosOutsideThePicture) {
    BmpFile f{};
    auto value = [](int32_t x, int32_t y) { return (x * 7 + y * 31) % 255 + 1; };
    make_picture8(&f, 100, 60, value);
    PixelImage im{};
    ASSERT_EQ(gfx_image_create(&im, 0, 0, 22, 18, 8), 1);
    for (uint8_t v : image_bytes(im)) ASSERT_EQ(v, 0);
    const struct {
        int32_t cx, cy, mode, sx, sy;
    } cases[] = {{2, 1, 0, 47, 20}, {0, 0, 0, 1, 1}, {13, 5, 1, 13, 5}, {90, 50, 1, 90, 50}, {-6, -5, 1, -6, -5}};
    for (const auto &c : cases) {
        ASSERT_EQ(gfx_image_load8(&im, &f, c.cx, c.cy, c.mode), 1);
        EXPECT_TRUE(im.attributes & IMAGE_LOADED);
        for (int32_t y = 0; y < 18; y++)
            for (int32_t x = 0; x < 22; x++) {
                int32_t px = c.sx + x, py = c.sy + y;
                bool in = px >= 0 && px < 100 && py >= 0 && py < 60;
                ASSERT_EQ(im.buffer[y * 22 + x], in ? value(px, py) : 0)
                    << c.cx << "," << c.cy << " at " << x << "," << y;
            }
    }
    std::fill(im.buffer, im.buffer + im.size, 0x55);
    EXPECT_EQ(gfx_image_load8(&im, &f, 5, 0, 0), 0) << "cell wholly outside";
    for (uint8_t v : image_bytes(im)) ASSERT_EQ(v, 0);
    EXPECT_EQ(gfx_image_destroy(&im), 1);
    EXPECT_EQ(im.buffer, nullptr);
    EXPECT_EQ(gfx_image_create(&im, 0, 0, 5, 5, 24), 0);
    gfx_bmp_unload(&f);
}

TEST_F(Gfx, ImageDrawOpaqueOrSkippingZerosCutAtItsBuffer) {
    PixelImage im{};
    ASSERT_EQ(gfx_image_create(&im, 10, 20, 3, 2, 8), 1);
    const uint8_t bytes[6] = {1, 0, 3, 0, 5, 0};
    std::copy(bytes, bytes + 6, im.buffer);
    Screen8 s;
    std::fill(s.px.begin(), s.px.end(), 9);
    EXPECT_EQ(gfx_image_draw8(&im, s.mem(), Screen8::W, 0), 0) << "never loaded";
    im.attributes |= IMAGE_LOADED;
    ASSERT_EQ(gfx_image_draw8(&im, s.mem(), Screen8::W, 1), 1);
    EXPECT_EQ(V({s.at(10, 20), s.at(11, 20), s.at(12, 20), s.at(10, 21), s.at(11, 21), s.at(12, 21)}),
              (V{1, 9, 3, 9, 5, 9}));
    ASSERT_EQ(gfx_image_draw8(&im, s.mem(), Screen8::W, 0), 1);
    EXPECT_EQ(V({s.at(11, 20), s.at(10, 21), s.at(13, 20), s.at(9, 20)}), (V{0, 0, 9, 9}));
    EXPECT_EQ(s.count(9), Screen8::W * Screen8::H - 6);
    gfx_image_destroy(&im);

    // A buffer larger than the screen, before start-up: all of it is drawn, up to its pitch and
    // from its first row; rows step by the pitch.
    ASSERT_EQ(gfx_image_create(&im, 630, 470, 20, 20, 8), 1);
    std::fill(im.buffer, im.buffer + im.size, 7);
    im.attributes |= IMAGE_LOADED;
    const int32_t pitch = 640;
    std::vector<uint8_t> wide(static_cast<size_t>(pitch) * 490, 0);
    EXPECT_EQ(gfx_image_draw8(&im, wide.data(), pitch, 0), 1);
    EXPECT_EQ(std::count(wide.begin(), wide.end(), 7), 200) << "ten columns fit in the pitch, all twenty rows";
    EXPECT_EQ(wide[static_cast<size_t>(489) * pitch + 639], 7);
    EXPECT_EQ(wide[static_cast<size_t>(489) * pitch + 629], 0);
    im.x = -15;
    im.y = -18;
    EXPECT_EQ(gfx_image_draw8(&im, wide.data(), pitch, 1), 1);
    EXPECT_EQ(std::count(wide.begin(), wide.end(), 7), 210);
    EXPECT_EQ(wide[static_cast<size_t>(1) * pitch + 4], 7);

    // The screen's own buffer ends with its last row.
    start_display();
    im.x = 630;
    im.y = 470;
    uint8_t *back = gfx_lock_back();
    ASSERT_EQ(gfx_image_draw8(&im, back, back_pitch, 0), 1);
    gfx_unlock_back();
    EXPECT_EQ(count_colour(back_surface, 7), 100);
    gfx_image_destroy(&im);
}

TEST(PixelImage, CopyRectMovesRowsAndRefusesWhatDoesNotFit) {
    PixelImage src{}, dst{};
    ASSERT_EQ(gfx_image_create(&src, 0, 0, 4, 3, 8), 1);
    ASSERT_EQ(gfx_image_create(&dst, 0, 0, 5, 4, 8), 1);
    for (int32_t i = 0; i < src.size; i++) src.buffer[i] = static_cast<uint8_t>(i + 1);
    ASSERT_EQ(gfx_image_copy_rect(&dst, 3, 2, &src, 1, 1, 2, 2), 1);
    EXPECT_EQ(image_bytes(dst), (V{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 6, 7, 0, 0, 0, 10, 11}));
    EXPECT_EQ(gfx_image_copy_rect(&dst, 4, 2, &src, 1, 1, 2, 2), 0) << "past the right edge";
    EXPECT_EQ(gfx_image_copy_rect(&dst, 0, 0, &src, 3, 0, 2, 1), 0) << "past the source edge";
    EXPECT_EQ(gfx_image_copy_rect(&dst, 0, 0, &src, 0, 2, 1, 2), 0);
    ASSERT_EQ(gfx_image_copy_rect(&src, 0, 1, &src, 0, 0, 4, 2), 1);
    EXPECT_EQ(image_bytes(src), (V{1, 2, 3, 4, 1, 2, 3, 4, 5, 6, 7, 8})) << "moved down over itself";
    gfx_image_destroy(&src);
    gfx_image_destroy(&dst);
}
