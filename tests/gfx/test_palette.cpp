#include "gfx_fixture.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "game/game_files.h"
#include "gfx/palette.h"

namespace {

void write_text(const std::string &path, const char *text) {
    FILE *f = std::fopen(path.c_str(), "wb");
    std::fputs(text, f);
    std::fclose(f);
}

PlatColor device_entry(int i) {
    PlatColor c{};
    plat_palette_get(i, 1, &c);
    return c;
}

} // namespace

TEST_F(Gfx, PaletteFileBytesAndRoundTrip) {
    std::string path = draw_temp_path("zero.pal");
    PaletteEntry zero[256] = {};
    ASSERT_EQ(gfx_palette_save_file(path.c_str(), zero), 1);
    std::string expected;
    for (int i = 0; i < 256; i++) expected += "\n0 0 0 0";
    EXPECT_EQ(read_file(path), expected);
    PaletteEntry mixed[256], back[256];
    std::memset(back, 0x55, sizeof back);
    for (int i = 0; i < 256; i++)
        mixed[i] = PaletteEntry{static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), 7, PC_NOCOLLAPSE};
    ASSERT_EQ(gfx_palette_save_file(path.c_str(), mixed), 1);
    EXPECT_EQ(read_file(path).substr(0, 22), "\n0 255 7 4\n1 254 7 4\n2");
    ASSERT_EQ(gfx_palette_load_file(path.c_str(), back), 1);
    EXPECT_EQ(std::memcmp(back, mixed, sizeof mixed), 0);
    std::remove(path.c_str());
}

// Any white space between numbers; each number keeps its low 8 bits; a short file loads what it has.
TEST_F(Gfx, PaletteFileLowBitsAndPartialFiles) {
    std::string path = draw_temp_path("odd.pal");
    const struct {
        const char *text;
        std::vector<int> first_entries; // red, green, blue, flags of entries 0 and 1 (9: untouched)
    } cases[] = {{"  300 -1\n\n 256\t2  255 0 0 0\n", {44, 255, 0, 2, 255, 0, 0, 0}},
                 {"255 0 0 0", {255, 0, 0, 0, 9, 9, 9, 9}},
                 {"1 2 x 4 5 6 7 8", {1, 2, 9, 9, 9, 9, 9, 9}}};
    for (const auto &c : cases) {
        PaletteEntry e[256];
        std::memset(e, 9, sizeof e);
        write_text(path, c.text);
        ASSERT_EQ(gfx_palette_load_file(path.c_str(), e), 1);
        EXPECT_EQ(std::vector<int>(
                      {e[0].red, e[0].green, e[0].blue, e[0].flags, e[1].red, e[1].green, e[1].blue, e[1].flags}),
                  c.first_entries)
            << c.text;
        EXPECT_EQ(e[255].red, 9);
    }
    std::remove(path.c_str());
    PaletteEntry e[256] = {};
    EXPECT_EQ(gfx_palette_load_file(draw_temp_path("missing/none.pal").c_str(), e), 0);
    EXPECT_EQ(gfx_palette_save_file(draw_temp_path("missing/none.pal").c_str(), e), 0);
}

TEST_F(Gfx, SetGetAndRotateMoveColoursUpAndWrap) {
    start_display();
    PaletteEntry in[256], out[256];
    for (int i = 0; i < 256; i++)
        in[i] = PaletteEntry{static_cast<uint8_t>(i), static_cast<uint8_t>(i * 3), static_cast<uint8_t>(i * 7), 0};
    EXPECT_EQ(gfx_palette_set_all(in), 1);
    EXPECT_EQ(gfx_palette_get_all(out), 1);
    EXPECT_EQ(std::memcmp(in, out, sizeof in), 0);
    EXPECT_EQ(device_entry(200).g, static_cast<uint8_t>(600));
    PaletteEntry got{};
    EXPECT_EQ(gfx_palette_get_entry(17, &got), 1);
    EXPECT_EQ(got.blue, static_cast<uint8_t>(17 * 7));
    PaletteEntry red{255, 0, 0, 0}, green{0, 255, 0, 0}, blue{0, 0, 255, 0};
    gfx_palette_set_entry(10, &red);
    gfx_palette_set_entry(11, &green);
    gfx_palette_set_entry(12, &blue);
    EXPECT_EQ(gfx_palette_rotate(10, 12), 1);
    EXPECT_EQ(std::vector<int>({palette_shadow[10].blue, palette_shadow[11].red, palette_shadow[12].green,
                                device_entry(10).b, device_entry(12).g}),
              std::vector<int>(5, 255));
    // Flags turn with their colours; entries outside the range keep theirs.
    for (int i : {10, 11, 12, 200}) palette_shadow[i].flags = static_cast<uint8_t>(i);
    gfx_palette_rotate(10, 12);
    EXPECT_EQ(std::vector<int>({palette_shadow[10].flags, palette_shadow[11].flags, palette_shadow[12].flags,
                                palette_shadow[200].flags}),
              std::vector<int>({12, 10, 11, 200}));
    EXPECT_EQ(gfx_palette_rotate(12, 10), 0);
    EXPECT_EQ(gfx_palette_rotate(250, 256), 0);
}

TEST_F(Gfx, BlinkersShowOffThenOnForTheirRunSteps) {
    start_display();
    EXPECT_EQ(gfx_palette_blink(77, nullptr, 0), 1);
    PaletteBlinker b{5, PaletteEntry{200, 0, 0, 0}, PaletteEntry{0, 0, 50, 0}, 2, 3, 0, 0};
    ASSERT_EQ(gfx_palette_blink(PALETTE_BLINK_ADD, &b, 0), 0);
    std::vector<int> reds;
    reds.push_back(device_entry(5).r);
    for (int i = 0; i < 6; i++) {
        gfx_palette_blink(PALETTE_BLINK_RUN, nullptr, 0);
        reds.push_back(device_entry(5).r);
    }
    EXPECT_EQ(reds, (std::vector<int>{0, 0, 0, 200, 200, 0, 0})) << "off 3 steps, on 2";
    EXPECT_EQ(palette_shadow[5].red, 0) << "blinking changes the device only";
    b.off_colour = PaletteEntry{0, 99, 0, 0};
    EXPECT_EQ(gfx_palette_blink(PALETTE_BLINK_UPDATE, &b, 0), 0);
    EXPECT_EQ(device_entry(5).g, 99);
    for (int i = 1; i < PALETTE_BLINKER_COUNT; i++) ASSERT_EQ(gfx_palette_blink(PALETTE_BLINK_ADD, &b, 0), i);
    EXPECT_EQ(gfx_palette_blink(PALETTE_BLINK_ADD, &b, 0), -1);
    EXPECT_EQ(gfx_palette_blink(PALETTE_BLINK_REMOVE, nullptr, 3), 3);
    EXPECT_EQ(gfx_palette_blink(PALETTE_BLINK_REMOVE, nullptr, 3), -1);
    EXPECT_EQ(gfx_palette_blink(PALETTE_BLINK_UPDATE, &b, 3), -1);
    EXPECT_EQ(gfx_palette_blink(PALETTE_BLINK_ADD, &b, 0), 3);
    for (int i = 0; i < PALETTE_BLINKER_COUNT; i++) gfx_palette_blink(PALETTE_BLINK_REMOVE, nullptr, i);
}

// The display starts in the colours of the game's palette file in the working folder, all black without it.
TEST_F(Gfx, DisplayStartsWithThePaletteFileOrBlack) {
    std::filesystem::path old = std::filesystem::current_path();
    std::filesystem::path dir = draw_temp_path("paldir");
    std::filesystem::create_directories(dir);
    std::filesystem::current_path(dir);
    start_display();
    for (int i = 0; i < 256; i++) {
        PlatColor c = device_entry(i);
        ASSERT_EQ(c.r | c.g | c.b, 0) << "entry " << i;
    }
    gfx_display_shutdown();
    write_text(GAME_FILE_PALETTE, "\n10 20 30 0\n200 100 50 0");
    start_display();
    EXPECT_EQ(std::vector<int>(
                  {device_entry(0).r, device_entry(0).b, device_entry(1).g, device_entry(2).r, palette_shadow[1].blue}),
              std::vector<int>({10, 30, 100, 0, 50}));
    std::filesystem::current_path(old);
    std::filesystem::remove_all(dir);
}
