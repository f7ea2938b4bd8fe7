#include "gfx_fixture.h"

#include <vector>

namespace {

std::vector<uint8_t> pixels_of(const BmpFile &f, size_t n) { return std::vector<uint8_t>(f.pixels, f.pixels + n); }

// A 4 by 2 picture storing the rows 1 2 3 4 and then 5 6 7 8.
BmpSpec four_by_two()
{
    BmpSpec s;
    s.pixel_bytes = {1, 2, 3, 4, 5, 6, 7, 8};
    return s;
}

void fill_image(PixelImage *im, std::initializer_list<uint8_t> bytes)
{
    ASSERT_EQ((size_t)im->size, bytes.size());
    std::copy(bytes.begin(), bytes.end(), im->buffer);
}

std::vector<uint8_t> image_bytes(const PixelImage &im) { return std::vector<uint8_t>(im.buffer, im.buffer + im.size); }

} // namespace

// ---- loader: the bytes that come out -------------------------------------------------

TEST(BmpLoad, PaletteComesOutRedGreenBlueWithNoCollapseFlags)
{
    BmpSpec s = four_by_two();
    s.palette.assign(1024, 0);
    for (int i = 0; i < 256; i++) {
        s.palette[i * 4 + 0] = (uint8_t)(255 - i); // blue
        s.palette[i * 4 + 1] = (uint8_t)(i / 2);   // green
        s.palette[i * 4 + 2] = (uint8_t)i;         // red
        s.palette[i * 4 + 3] = 99;                 // reserved: replaced by the flags
    }
    s.palette[5 * 4 + 0] = 10;
    s.palette[5 * 4 + 1] = 20;
    s.palette[5 * 4 + 2] = 30;
    BmpFile f{};
    ASSERT_EQ(gfx_bmp_load(&f, write_file("palette.bmp", bmp_bytes(s)).c_str()), 1);
    EXPECT_EQ(f.palette[5].red, 30);
    EXPECT_EQ(f.palette[5].green, 20);
    EXPECT_EQ(f.palette[5].blue, 10);
    EXPECT_EQ(f.palette[5].flags, PC_NOCOLLAPSE);
    for (int i = 0; i < 256; i++) {
        if (i == 5) continue;
        ASSERT_EQ(f.palette[i].red, i) << i;
        ASSERT_EQ(f.palette[i].green, i / 2) << i;
        ASSERT_EQ(f.palette[i].blue, 255 - i) << i;
        ASSERT_EQ(f.palette[i].flags, PC_NOCOLLAPSE) << i;
    }
    // Headers are kept as read.
    EXPECT_EQ(f.file_header.bfType, BMP_MAGIC);
    EXPECT_EQ(f.file_header.bfReserved1, 0x1111);
    EXPECT_EQ(f.file_header.bfReserved2, 0x2222);
    EXPECT_EQ(f.file_header.bfOffBits, 54u + 1024u);
    EXPECT_EQ(f.info_header.biSize, 40u);
    EXPECT_EQ(f.info_header.biPlanes, 1);
    EXPECT_EQ(f.info_header.biXPelsPerMeter, 2835);
    EXPECT_EQ(f.info_header.biClrUsed, 256u);
    EXPECT_EQ(f.info_header.biSizeImage, 8u);
    gfx_bmp_unload(&f);
}

TEST(BmpLoad, BottomUpRowsComeOutTopRowFirst)
{
    BmpFile f{};
    ASSERT_EQ(gfx_bmp_load(&f, write_file("bottom_up.bmp", bmp_bytes(four_by_two())).c_str()), 1);
    EXPECT_EQ(pixels_of(f, 8), (std::vector<uint8_t>{5, 6, 7, 8, 1, 2, 3, 4}));
    EXPECT_EQ(f.info_header.biWidth, 4);
    EXPECT_EQ(f.info_header.biHeight, 2);

    // Three rows: the middle one stays in place.
    BmpSpec s;
    s.width = 4;
    s.height = 3;
    s.pixel_bytes = {1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3};
    ASSERT_EQ(gfx_bmp_load(&f, write_file("bottom_up3.bmp", bmp_bytes(s)).c_str()), 1);
    EXPECT_EQ(pixels_of(f, 12), (std::vector<uint8_t>{3, 3, 3, 3, 2, 2, 2, 2, 1, 1, 1, 1}));
    gfx_bmp_unload(&f);
}

TEST(BmpLoad, AcceptsTopDownPaddedRowsAndZeroImageSize)
{
    BmpFile f{};
    {
        SCOPED_TRACE("top-down: negative height keeps the stored order");
        BmpSpec s = four_by_two();
        s.height = -2;
        ASSERT_EQ(gfx_bmp_load(&f, write_file("top_down.bmp", bmp_bytes(s)).c_str()), 1);
        EXPECT_EQ(pixels_of(f, 8), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
    }
    {
        SCOPED_TRACE("rows padded to four bytes: padding dropped");
        BmpSpec s;
        s.width = 3;
        s.height = 2;
        s.pixel_bytes = {1, 2, 3, 0xEE, 4, 5, 6, 0xEE};
        ASSERT_EQ(gfx_bmp_load(&f, write_file("padded.bmp", bmp_bytes(s)).c_str()), 1);
        EXPECT_EQ(pixels_of(f, 6), (std::vector<uint8_t>{4, 5, 6, 1, 2, 3}));
    }
    {
        SCOPED_TRACE("image size 0: worked out from the rows");
        BmpSpec s;
        s.width = 3;
        s.height = 2;
        s.size_image = 0;
        s.pixel_bytes = {1, 2, 3, 0xEE, 4, 5, 6, 0xEE};
        ASSERT_EQ(gfx_bmp_load(&f, write_file("size0.bmp", bmp_bytes(s)).c_str()), 1);
        EXPECT_EQ(pixels_of(f, 6), (std::vector<uint8_t>{4, 5, 6, 1, 2, 3}));
        BmpSpec t = four_by_two();
        t.size_image = 0;
        ASSERT_EQ(gfx_bmp_load(&f, write_file("size0b.bmp", bmp_bytes(t)).c_str()), 1);
        EXPECT_EQ(pixels_of(f, 8), (std::vector<uint8_t>{5, 6, 7, 8, 1, 2, 3, 4}));
    }
    {
        SCOPED_TRACE("the pixels are the last bytes of the file, whatever comes before");
        BmpSpec s = four_by_two();
        s.pixel_bytes = {0xAA, 0xBB, 1, 2, 3, 4, 5, 6, 7, 8};
        s.size_image = 8;
        ASSERT_EQ(gfx_bmp_load(&f, write_file("gap.bmp", bmp_bytes(s)).c_str()), 1);
        EXPECT_EQ(pixels_of(f, 8), (std::vector<uint8_t>{5, 6, 7, 8, 1, 2, 3, 4}));
    }
    gfx_bmp_unload(&f);
}

TEST(BmpLoad, SixteenBitWordsKeptAndTwentyFourBitConvertedByPixelFormat)
{
    BmpFile f{};
    BmpSpec w;
    w.bits = 16;
    w.width = 2;
    w.height = 2;
    w.pixel_bytes = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
    ASSERT_EQ(gfx_bmp_load(&f, write_file("words.bmp", bmp_bytes(w)).c_str()), 1);
    EXPECT_EQ(pixels_of(f, 8), (std::vector<uint8_t>{0x05, 0x06, 0x07, 0x08, 0x01, 0x02, 0x03, 0x04}));

    // One row: white, red, green, blue (stored blue, green, red).
    BmpSpec s;
    s.bits = 24;
    s.width = 4;
    s.height = 1;
    s.pixel_bytes = {255, 255, 255, 0, 0, 255, 0, 255, 0, 255, 0, 0};
    std::string path = write_file("rgb24.bmp", bmp_bytes(s));
    auto word = [&](int i) { return (uint16_t)(f.pixels[i * 2] | (f.pixels[i * 2 + 1] << 8)); };

    pixel_format = 16;
    ASSERT_EQ(gfx_bmp_load(&f, path.c_str()), 1);
    EXPECT_EQ(f.info_header.biBitCount, 16);
    EXPECT_EQ(f.info_header.biSizeImage, 12u) << "the file's value stays";
    EXPECT_EQ(word(0), 0xFFFF);
    EXPECT_EQ(word(1), 0xF800);
    EXPECT_EQ(word(2), 0x07E0);
    EXPECT_EQ(word(3), 0x001F);

    pixel_format = 15;
    ASSERT_EQ(gfx_bmp_load(&f, path.c_str()), 1);
    EXPECT_EQ(word(0), 0x7FFF);
    EXPECT_EQ(word(1), 0x7C00);
    EXPECT_EQ(word(2), 0x03E0);
    EXPECT_EQ(word(3), 0x001F);
    pixel_format = 0;
    gfx_bmp_unload(&f);
}

// ---- loader: what it refuses --------------------------------------------------------

TEST(BmpLoad, RefusesOtherMagicAndDepths)
{
    BmpFile f{};
    BmpSpec s = four_by_two();
    s.magic[0] = 'M';
    s.magic[1] = 'B';
    EXPECT_EQ(gfx_bmp_load(&f, write_file("magic.bmp", bmp_bytes(s)).c_str()), 0);
    EXPECT_EQ(f.pixels, nullptr);
    s.magic[0] = 'B';
    s.magic[1] = 'A';
    EXPECT_EQ(gfx_bmp_load(&f, write_file("magic2.bmp", bmp_bytes(s)).c_str()), 0);
    for (uint16_t bits : {1, 4, 32, 0, 15}) {
        BmpSpec d = four_by_two();
        d.bits = bits;
        d.palette_present = false;
        d.pixel_bytes.assign(64, 1);
        EXPECT_EQ(gfx_bmp_load(&f, write_file("depth.bmp", bmp_bytes(d)).c_str()), 0) << bits;
        EXPECT_EQ(f.pixels, nullptr) << bits;
    }
}

TEST(BmpLoad, MissingFileLeavesTheRecordAlone)
{
    BmpFile f{};
    ASSERT_EQ(gfx_bmp_load(&f, write_file("kept.bmp", bmp_bytes(four_by_two())).c_str()), 1);
    uint8_t *before = f.pixels;
    EXPECT_EQ(gfx_bmp_load(&f, draw_temp_path("no_such_picture.bmp").c_str()), 0);
    EXPECT_EQ(f.pixels, before);
    EXPECT_EQ(f.info_header.biWidth, 4);
    EXPECT_EQ(gfx_bmp_load(&f, nullptr), 0);
    EXPECT_EQ(gfx_bmp_load(nullptr, "x"), 0);
    gfx_bmp_unload(&f);
}

// Files whose headers lie about the pixels: refused, never read past their end,
// and no stale pixels left behind to be read with the new headers.
TEST(BmpLoad, RefusesMalformedFilesWithoutKeepingPixels)
{
    struct Case {
        const char *what;
        std::vector<uint8_t> bytes;
    };
    std::vector<Case> cases;
    auto with = [&](const char *what, auto change) {
        BmpSpec s = four_by_two();
        change(s);
        cases.push_back({what, bmp_bytes(s)});
    };
    with("width 0", [](BmpSpec &s) { s.width = 0; });
    with("height 0", [](BmpSpec &s) { s.height = 0; });
    with("negative width", [](BmpSpec &s) { s.width = -4; });
    with("width past 16384", [](BmpSpec &s) { s.width = BMP_MAX_DIMENSION + 1; });
    with("height past 16384", [](BmpSpec &s) { s.height = BMP_MAX_DIMENSION + 4; });
    with("absurd negative height", [](BmpSpec &s) { s.height = -(BMP_MAX_DIMENSION + 1); });
    with("most negative height", [](BmpSpec &s) { s.height = INT32_MIN; });
    with("huge width and height", [](BmpSpec &s) {
        s.width = 0x40000000;
        s.height = 0x40000000;
    });
    with("image size larger than the file", [](BmpSpec &s) { s.size_image = 9; });
    with("image size far larger than the file", [](BmpSpec &s) { s.size_image = 0xFFFFFFF0u; });
    with("pixel array shorter than the rows", [](BmpSpec &s) { s.size_image = 4; });
    with("pixels cut short", [](BmpSpec &s) {
        s.pixel_bytes.resize(5);
        s.size_image = 8;
    });
    with("pixels missing, size 0", [](BmpSpec &s) {
        s.pixel_bytes.clear();
        s.size_image = 0;
    });
    with("rows claimed wider than stored", [](BmpSpec &s) { s.width = 8; });
    with("palette cut short", [](BmpSpec &s) {
        s.palette_present = false;
        s.pixel_bytes.assign(500, 7);
        s.size_image = 8;
    });
    std::vector<uint8_t> full = bmp_bytes(four_by_two());
    cases.push_back({"empty file", {}});
    cases.push_back({"file header cut short", std::vector<uint8_t>(full.begin(), full.begin() + 10)});
    cases.push_back({"info header cut short", std::vector<uint8_t>(full.begin(), full.begin() + 30)});
    cases.push_back({"headers only", std::vector<uint8_t>(full.begin(), full.begin() + 54)});
    cases.push_back({"palette half there", std::vector<uint8_t>(full.begin(), full.begin() + 54 + 512)});

    BmpFile f{};
    std::string good = write_file("good.bmp", bmp_bytes(four_by_two()));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(gfx_bmp_load(&f, good.c_str()), 1);
        ASSERT_NE(f.pixels, nullptr);
        EXPECT_EQ(gfx_bmp_load(&f, write_file("bad.bmp", c.bytes).c_str()), 0);
        EXPECT_EQ(f.pixels, nullptr);
    }
    gfx_bmp_unload(&f);
}

TEST(BmpLoad, UnloadDropsPixelsKeepsHeadersAndCanRepeat)
{
    BmpFile f{};
    EXPECT_EQ(gfx_bmp_unload(&f), 1);
    ASSERT_EQ(gfx_bmp_load(&f, write_file("unload.bmp", bmp_bytes(four_by_two())).c_str()), 1);
    EXPECT_EQ(gfx_bmp_unload(&f), 1);
    EXPECT_EQ(f.pixels, nullptr);
    EXPECT_EQ(f.info_header.biWidth, 4);
    EXPECT_EQ(f.palette[7].flags, PC_NOCOLLAPSE);
    EXPECT_EQ(gfx_bmp_unload(&f), 1);
    EXPECT_EQ(gfx_bmp_unload(nullptr), 1);
}

TEST(BmpFlip, ReversesLines)
{
    std::vector<uint8_t> b = {1, 1, 2, 2, 3, 3, 4, 4};
    EXPECT_EQ(gfx_bmp_flip(b.data(), 2, 4), 1);
    EXPECT_EQ(b, (std::vector<uint8_t>{4, 4, 3, 3, 2, 2, 1, 1}));
    EXPECT_EQ(gfx_bmp_flip(b.data(), 4, 2), 1);
    EXPECT_EQ(b, (std::vector<uint8_t>{2, 2, 1, 1, 4, 4, 3, 3}));
    EXPECT_EQ(gfx_bmp_flip(b.data(), 8, 1), 1);
    EXPECT_EQ(b, (std::vector<uint8_t>{2, 2, 1, 1, 4, 4, 3, 3}));
}

// ---- pixel images: create, cells, draws ------------------------------------------------

TEST(PixelImage, CreateZeroesAndDestroyClears)
{
    PixelImage im{};
    ASSERT_EQ(gfx_image_create(&im, 3, 4, 10, 6, 16), 1);
    EXPECT_EQ(im.state, 1);
    EXPECT_EQ(im.attributes, 0u);
    EXPECT_EQ(im.x, 3);
    EXPECT_EQ(im.y, 4);
    EXPECT_EQ(im.size, 10 * 6 * 2);
    for (uint8_t v : image_bytes(im)) ASSERT_EQ(v, 0);
    EXPECT_EQ(gfx_image_destroy(&im), 1);
    EXPECT_EQ(im.buffer, nullptr);
    EXPECT_EQ(im.state, 0);
    EXPECT_EQ(im.size, 0);
    EXPECT_EQ(gfx_image_destroy(&im), 0) << "nothing left to release";
    EXPECT_EQ(gfx_image_destroy(nullptr), 0);
    EXPECT_EQ(gfx_image_create(&im, 0, 0, 0, 5, 8), 0);
    EXPECT_EQ(gfx_image_create(&im, 0, 0, 5, 5, 24), 0);
    EXPECT_EQ(im.buffer, nullptr);
}

TEST(PixelImage, CellModeAndPixelModeSourcePositions)
{
    BmpFile f{};
    auto value = [](int32_t x, int32_t y) { return (x * 7 + y * 31) & 0xFF; };
    make_picture8(&f, 100, 60, value);
    PixelImage im{};
    ASSERT_EQ(gfx_image_create(&im, 0, 0, 22, 18, 8), 1);
    auto expect_from = [&](int32_t sx, int32_t sy) {
        for (int32_t y = 0; y < 18; y++)
            for (int32_t x = 0; x < 22; x++)
                ASSERT_EQ(im.buffer[y * 22 + x], value(sx + x, sy + y)) << x << "," << y;
    };
    ASSERT_EQ(gfx_image_load8(&im, &f, 2, 1, 0), 1);
    EXPECT_TRUE(im.attributes & IMAGE_LOADED);
    expect_from(47, 20);
    ASSERT_EQ(gfx_image_load8(&im, &f, 0, 0, 0), 1);
    expect_from(1, 1);
    ASSERT_EQ(gfx_image_load8(&im, &f, 13, 5, 1), 1);
    expect_from(13, 5);
    gfx_image_destroy(&im);
    gfx_bmp_unload(&f);
}

TEST(PixelImage, CellsReachingOutsideThePictureGetZeros)
{
    BmpFile f{};
    make_picture8(&f, 20, 10, [](int32_t x, int32_t y) { return 1 + x + y * 20; });
    PixelImage im{};
    ASSERT_EQ(gfx_image_create(&im, 0, 0, 8, 8, 8), 1);

    // Cell (2, 0) starts at column 19: one column inside, rows 1..8 of 10.
    ASSERT_EQ(gfx_image_load8(&im, &f, 2, 0, 0), 1);
    for (int32_t y = 0; y < 8; y++)
        for (int32_t x = 0; x < 8; x++)
            ASSERT_EQ(im.buffer[y * 8 + x], x == 0 ? 1 + 19 + (y + 1) * 20 : 0) << x << "," << y;

    // Pixel mode above and left of the picture: the inside part lands bottom-right.
    ASSERT_EQ(gfx_image_load8(&im, &f, -6, -5, 1), 1);
    for (int32_t y = 0; y < 8; y++)
        for (int32_t x = 0; x < 8; x++)
            ASSERT_EQ(im.buffer[y * 8 + x], (x >= 6 && y >= 5) ? 1 + (x - 6) + (y - 5) * 20 : 0) << x << "," << y;

    // Wholly outside: nothing copied, zeros left, 0 returned.
    for (auto [cx, cy, mode] : {std::tuple{3, 0, 0}, {0, 2, 0}, {-8, 0, 1}, {20, 9, 1}, {INT32_MAX, 0, 0}}) {
        SCOPED_TRACE(testing::Message() << cx << "," << cy << " mode " << mode);
        std::fill(im.buffer, im.buffer + im.size, 0x55);
        EXPECT_EQ(gfx_image_load8(&im, &f, cx, cy, mode), 0);
        for (uint8_t v : image_bytes(im)) ASSERT_EQ(v, 0);
    }

    // A picture that failed to load gives an empty frame, not old memory.
    PixelImage fresh{};
    ASSERT_EQ(gfx_image_create(&fresh, 0, 0, 8, 8, 8), 1);
    gfx_bmp_unload(&f);
    EXPECT_EQ(gfx_image_load8(&fresh, &f, 0, 0, 1), 0);
    EXPECT_FALSE(fresh.attributes & IMAGE_LOADED);
    for (uint8_t v : image_bytes(fresh)) ASSERT_EQ(v, 0);
    EXPECT_EQ(gfx_image_load8(&fresh, nullptr, 0, 0, 1), 0);
    EXPECT_EQ(gfx_image_load8(nullptr, &f, 0, 0, 1), 0);
    gfx_image_destroy(&fresh);
    gfx_image_destroy(&im);
}

TEST(PixelImage, Load16ReadsWordsAtTwiceTheOffset)
{
    BmpFile f{};
    make_picture8(&f, 8, 4, [](int32_t x, int32_t y) { return x + y * 8; }); // 4 words per row
    f.info_header.biWidth = 4;
    f.info_header.biBitCount = 16;
    PixelImage im{};
    ASSERT_EQ(gfx_image_create(&im, 0, 0, 2, 2, 16), 1);
    ASSERT_EQ(gfx_image_load16(&im, &f, 1, 1, 1), 1);
    // Word (1, 1) starts at byte 2 * (1 * 4 + 1) = 10.
    EXPECT_EQ(image_bytes(im), (std::vector<uint8_t>{10, 11, 12, 13, 18, 19, 20, 21}));
    EXPECT_EQ(gfx_image_load8(&im, &f, 0, 0, 1), 0) << "depth mismatch";
    gfx_image_destroy(&im);
    gfx_bmp_unload(&f);
}

TEST_F(Gfx, ImageDrawOpaqueCopiesZerosTransparentSkipsThem)
{
    start_display();
    PixelImage im{};
    ASSERT_EQ(gfx_image_create(&im, 10, 20, 3, 2, 8), 1);
    fill_image(&im, {1, 0, 3, 0, 5, 0});
    Screen8 s;
    std::fill(s.px.begin(), s.px.end(), 9);
    EXPECT_EQ(gfx_image_draw8(&im, s.mem(), Screen8::W, 0), 0) << "never loaded";
    EXPECT_EQ(s.count(9), Screen8::W * Screen8::H);

    im.attributes |= IMAGE_LOADED;
    ASSERT_EQ(gfx_image_draw8(&im, s.mem(), Screen8::W, 1), 1);
    EXPECT_EQ(s.at(10, 20), 1);
    EXPECT_EQ(s.at(11, 20), 9);
    EXPECT_EQ(s.at(12, 20), 3);
    EXPECT_EQ(s.at(10, 21), 9);
    EXPECT_EQ(s.at(11, 21), 5);
    EXPECT_EQ(s.at(12, 21), 9);
    EXPECT_EQ(s.count(9), Screen8::W * Screen8::H - 3);

    ASSERT_EQ(gfx_image_draw8(&im, s.mem(), Screen8::W, 0), 1);
    EXPECT_EQ(s.at(11, 20), 0);
    EXPECT_EQ(s.at(10, 21), 0);
    EXPECT_EQ(s.at(12, 21), 0);
    EXPECT_EQ(s.at(13, 20), 9);
    EXPECT_EQ(s.at(9, 20), 9);
    EXPECT_EQ(s.count(9), Screen8::W * Screen8::H - 6);
    gfx_image_destroy(&im);
}

TEST_F(Gfx, ImageDrawsUseThePitchAndCutAtTheScreen)
{
    start_display();
    // A full-screen backdrop into a wider pitch, the way the frame draws it.
    PixelImage bg{};
    ASSERT_EQ(gfx_image_create(&bg, 0, 0, 640, 480, 8), 1);
    for (int32_t i = 0; i < bg.size; i++) bg.buffer[i] = (uint8_t)(i % 251 + 1);
    bg.attributes |= IMAGE_LOADED;
    const int32_t pitch = 704;
    std::vector<uint8_t> wide((size_t)pitch * 480, 0);
    ASSERT_EQ(gfx_image_draw8(&bg, wide.data(), pitch, 0), 1);
    for (int32_t y = 0; y < 480; y += 37)
        for (int32_t x = 0; x < 704; x += 13)
            ASSERT_EQ(wide[(size_t)y * pitch + x], x < 640 ? bg.buffer[y * 640 + x] : 0) << x << "," << y;
    gfx_image_destroy(&bg);

    // Placed across the bottom-right and top-left corners: only the inside is written.
    PixelImage im{};
    ASSERT_EQ(gfx_image_create(&im, 630, 470, 20, 20, 8), 1);
    std::fill(im.buffer, im.buffer + im.size, 7);
    im.attributes |= IMAGE_LOADED;
    Screen8 s;
    EXPECT_EQ(gfx_image_draw8(&im, s.mem(), Screen8::W, 0), 1);
    EXPECT_EQ(s.count(7), 10 * 10);
    EXPECT_EQ(s.at(639, 479), 7);
    im.x = -15;
    im.y = -18;
    EXPECT_EQ(gfx_image_draw8(&im, s.mem(), Screen8::W, 1), 1);
    EXPECT_EQ(s.count(7), 100 + 5 * 2);
    EXPECT_EQ(s.at(4, 1), 7);
    EXPECT_EQ(s.at(5, 1), 0);
    im.x = 700;
    EXPECT_EQ(gfx_image_draw8(&im, s.mem(), Screen8::W, 0), 1);
    EXPECT_EQ(s.count(7), 110);
    gfx_image_destroy(&im);
}

TEST_F(Gfx, ImageDraw16SkipsTheZeroWord)
{
    start_display();
    PixelImage im{};
    ASSERT_EQ(gfx_image_create(&im, 2, 1, 3, 1, 16), 1);
    // Words 0x0100 (low byte zero), 0x0000, 0x00FF.
    fill_image(&im, {0x00, 0x01, 0x00, 0x00, 0xFF, 0x00});
    im.attributes |= IMAGE_LOADED;
    const int32_t pitch = 24; // bytes: 12 words a row
    std::vector<uint16_t> mem(12 * 4, 0xAAAA);
    ASSERT_EQ(gfx_image_draw16(&im, (uint8_t *)mem.data(), pitch, 1), 1);
    EXPECT_EQ(mem[12 + 2], 0x0100);
    EXPECT_EQ(mem[12 + 3], 0xAAAA);
    EXPECT_EQ(mem[12 + 4], 0x00FF);
    EXPECT_EQ(mem[12 + 1], 0xAAAA);
    EXPECT_EQ(mem[12 + 5], 0xAAAA);
    ASSERT_EQ(gfx_image_draw16(&im, (uint8_t *)mem.data(), pitch, 0), 1);
    EXPECT_EQ(mem[12 + 3], 0x0000);
    EXPECT_EQ(mem[2], 0xAAAA);
    gfx_image_destroy(&im);
}

TEST(PixelImage, ScrollRotatesRowsSideways)
{
    PixelImage im{};
    ASSERT_EQ(gfx_image_create(&im, 0, 0, 5, 2, 8), 1);
    auto scroll = [&](int32_t dx, int32_t dy) {
        fill_image(&im, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
        int32_t r = gfx_image_scroll(&im, dx, dy);
        return std::pair{r, image_bytes(im)};
    };
    using V = std::vector<uint8_t>;
    EXPECT_EQ(scroll(3, 0), (std::pair{1, V{3, 4, 5, 1, 2, 8, 9, 10, 6, 7}}));
    EXPECT_EQ(scroll(-1, 0), (std::pair{1, V{2, 3, 4, 5, 1, 7, 8, 9, 10, 6}}));
    EXPECT_EQ(scroll(5, 0), (std::pair{1, V{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}}));
    EXPECT_EQ(scroll(8, 0), scroll(3, 0)) << "by the remainder of the width";
    EXPECT_EQ(scroll(-6, 0), scroll(-1, 0));
    EXPECT_EQ(scroll(0, 4), (std::pair{1, V{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}})) << "no vertical scrolling";
    EXPECT_EQ(scroll(1, 7), (std::pair{1, V{5, 1, 2, 3, 4, 10, 6, 7, 8, 9}}));
    EXPECT_EQ(scroll(0, 0).first, 0);
    EXPECT_EQ(gfx_image_scroll(nullptr, 1, 0), 0);
    gfx_image_destroy(&im);

    // 16-bit pixels move as whole words.
    ASSERT_EQ(gfx_image_create(&im, 0, 0, 3, 1, 16), 1);
    fill_image(&im, {0x01, 0x02, 0x03, 0x04, 0x05, 0x06});
    EXPECT_EQ(gfx_image_scroll(&im, 1, 0), 1);
    EXPECT_EQ(image_bytes(im), (V{0x05, 0x06, 0x01, 0x02, 0x03, 0x04}));
    gfx_image_destroy(&im);
}

TEST(PixelImage, CopyRectMovesRowsAndRefusesWhatDoesNotFit)
{
    PixelImage src{}, dst{};
    ASSERT_EQ(gfx_image_create(&src, 0, 0, 4, 3, 8), 1);
    ASSERT_EQ(gfx_image_create(&dst, 0, 0, 5, 4, 8), 1);
    for (int32_t i = 0; i < src.size; i++) src.buffer[i] = (uint8_t)(i + 1);
    ASSERT_EQ(gfx_image_copy_rect(&dst, 3, 2, &src, 1, 1, 2, 2), 1);
    using V = std::vector<uint8_t>;
    EXPECT_EQ(image_bytes(dst), (V{0, 0, 0, 0, 0, //
                                   0, 0, 0, 0, 0, //
                                   0, 0, 0, 6, 7, //
                                   0, 0, 0, 10, 11}));
    V before = image_bytes(dst);
    EXPECT_EQ(gfx_image_copy_rect(&dst, 4, 2, &src, 1, 1, 2, 2), 0) << "past the right edge";
    EXPECT_EQ(gfx_image_copy_rect(&dst, 0, 0, &src, 3, 0, 2, 1), 0) << "past the source edge";
    EXPECT_EQ(gfx_image_copy_rect(&dst, -1, 0, &src, 0, 0, 1, 1), 0);
    EXPECT_EQ(gfx_image_copy_rect(&dst, 0, 0, &src, 0, 2, 1, 2), 0);
    EXPECT_EQ(gfx_image_copy_rect(nullptr, 0, 0, &src, 0, 0, 1, 1), 0);
    EXPECT_EQ(gfx_image_copy_rect(&dst, 0, 0, nullptr, 0, 0, 1, 1), 0);
    EXPECT_EQ(image_bytes(dst), before);

    // Within one image, a block moved down over itself keeps its rows.
    ASSERT_EQ(gfx_image_copy_rect(&src, 0, 1, &src, 0, 0, 4, 2), 1);
    EXPECT_EQ(image_bytes(src), (V{1, 2, 3, 4, 1, 2, 3, 4, 5, 6, 7, 8}));

    PixelImage wide{};
    ASSERT_EQ(gfx_image_create(&wide, 0, 0, 4, 3, 16), 1);
    EXPECT_EQ(gfx_image_copy_rect(&wide, 0, 0, &src, 0, 0, 1, 1), 0) << "depths differ";
    gfx_image_destroy(&wide);
    gfx_image_destroy(&src);
    gfx_image_destroy(&dst);
}
