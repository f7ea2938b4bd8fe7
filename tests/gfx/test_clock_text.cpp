#include "gfx_fixture.h"

#include <cstdio>
#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "gfx/clock.h"
#include "gfx/palette.h"
#include "gfx/text.h"

namespace {

// Ink bounding box (x0, y0, x1, y1) of colour c on the back surface.
std::array<int, 4> ink_box(uint8_t c) {
    std::array<int, 4> b = {640, 480, -1, -1};
    for (int y = 0; y < 480; y++)
        for (int x = 0; x < 640; x++)
            if (pixel_at(back_surface, x, y) == c)
                b = {std::min(b[0], x), std::min(b[1], y), std::max(b[2], x), std::max(b[3], y)};
    return b;
}

// Pieces of ink of colour c (pixels touching by side or corner make one piece), top to bottom by
// their first row: each piece as its first and last row.
std::vector<std::array<int, 2>> ink_pieces(uint8_t c) {
    std::vector<int> seen(640 * 480, 0);
    std::vector<std::array<int, 2>> pieces;
    for (int y = 0; y < 480; y++)
        for (int x = 0; x < 640; x++) {
            if (seen[y * 640 + x] || pixel_at(back_surface, x, y) != c) continue;
            std::array<int, 2> rows = {y, y};
            std::vector<std::array<int, 2>> todo = {{x, y}};
            seen[y * 640 + x] = 1;
            while (!todo.empty()) {
                auto [px, py] = todo.back();
                todo.pop_back();
                rows = {std::min(rows[0], py), std::max(rows[1], py)};
                for (int dy = -1; dy <= 1; dy++)
                    for (int dx = -1; dx <= 1; dx++) {
                        int nx = px + dx, ny = py + dy;
                        if (nx < 0 || ny < 0 || nx >= 640 || ny >= 480 || seen[ny * 640 + nx]) continue;
                        if (pixel_at(back_surface, nx, ny) != c) continue;
                        seen[ny * 640 + nx] = 1;
                        todo.push_back({nx, ny});
                    }
            }
            pieces.push_back(rows);
        }
    std::sort(pieces.begin(), pieces.end());
    return pieces;
}

} // namespace

// The wait returns a reading taken after the one that ended it.
TEST_F(Gfx, ClockWaitsAndReturnsTheTicks) {
    plat_headless_set_ticks(1000);
    EXPECT_EQ(gfx_clock_start(), 1000u);
    EXPECT_EQ(clock_start_ticks, 1000u);
    uint32_t t = gfx_clock_wait(0);
    EXPECT_LE(t - 1000u, 2u);

    plat_headless_set_auto_advance(5); // each reading moves the clock on by 5 ms
    plat_headless_set_ticks(2000);
    gfx_clock_start();
    EXPECT_EQ(gfx_clock_wait(33), 2038u) << "the deadline's reading is 2033; the one after it 2038";

    plat_headless_set_auto_advance(0);
    plat_headless_set_ticks(5000);
    gfx_clock_start();
    plat_headless_advance(40);
    EXPECT_EQ(gfx_clock_wait(33), 5040u) << "a long frame ends the wait at once";

    plat_headless_set_auto_advance(1);
    plat_headless_set_ticks(0xFFFFFFF0u);
    uint32_t start = gfx_clock_start();
    uint32_t end = gfx_clock_wait(33);
    EXPECT_GE(end - start, 33u) << "across the wrap";
    EXPECT_LE(end - start, 40u);
    EXPECT_LT(end, 0x100u);
}

TEST_F(Gfx, LogFileContents) {
    EXPECT_EQ(gfx_log_write("\nnothing %d", 1), 0) << "closed";
    std::string path = std::string(QUORVANE_BINARY_DIR) + "/gfx_core_error.log";
    std::remove(path.c_str());
    ASSERT_EQ(gfx_log_open(path.c_str(), nullptr), 1);
    ASSERT_NE(error_log, nullptr);
    std::string long_text(300, 'x');
    EXPECT_EQ(gfx_log_write("\nlong %s end", long_text.c_str()), 1);
    start_display();
    EXPECT_EQ(gfx_log_close(), 1);
    EXPECT_EQ(error_log, nullptr);

    std::string text = read_file(path);
    std::string head = "\nOpening Error Output File (" + path + ") on ";
    ASSERT_EQ(text.rfind(head, 0), 0u) << text;
    EXPECT_NE(text.find(", 20", head.size()), std::string::npos) << "a dated stamp: " << text;
    size_t body = text.find("\n\n") + 2;
    EXPECT_EQ(text.substr(body),
              "\nlong " + long_text + " end\npixel format = 8\npixel format = 5.6.5\nClosing Error Output File.");

    // A later open truncates the earlier run's lines.
    ASSERT_EQ(gfx_log_open(path.c_str(), nullptr), 1);
    gfx_log_close();
    EXPECT_EQ(read_file(path).find("long"), std::string::npos);
    std::remove(path.c_str());
    EXPECT_EQ(gfx_log_open((std::string(QUORVANE_BINARY_DIR) + "/no/such/dir.log").c_str(), nullptr), 0);
}

// Text: glyphs only, top-left at (x, y), in the palette entry nearest to a 0x00BBGGRR colour.
TEST_F(Gfx, TextDrawsAtItsTopLeftInTheNearestColour) {
    start_display();
    PaletteEntry pal[256] = {};
    pal[1] = PaletteEntry{250, 10, 10, 0};
    pal[2] = PaletteEntry{10, 240, 10, 0};
    pal[3] = PaletteEntry{255, 255, 255, 0};
    gfx_palette_set_all(pal);
    ASSERT_GT(plat_text_width("Quorvane"), 0) << "the game font (fonts-dejavu-extra) is missing";
    ASSERT_EQ(gfx_draw_text("Quorvane", 0, 0, 0x00FF00, back_surface), 1);
    std::array<int, 4> at0 = ink_box(2);
    EXPECT_GE(at0[0], 0);
    EXPECT_LT(at0[1], 8) << "ink starts near the top";
    EXPECT_GT(at0[2] - at0[0], 40);
    gfx_fill_surface(back_surface, 0, nullptr);
    ASSERT_EQ(gfx_draw_text("Quorvane", 37, 21, 0x0000FF, back_surface), 1);
    EXPECT_EQ(ink_box(1), (std::array<int, 4>{at0[0] + 37, at0[1] + 21, at0[2] + 37, at0[3] + 21})) << "red, moved";
    EXPECT_EQ(ink_box(2)[2], -1);
    EXPECT_EQ(ink_box(3)[2], -1);
    gfx_fill_surface(back_surface, 0, nullptr);
    ASSERT_EQ(gfx_draw_text_indexed("Q", 100, 100, 3, back_surface), 1);
    EXPECT_GE(ink_box(3)[0], 100);
    EXPECT_EQ(gfx_draw_text_indexed("Q", 100, 100, 256, back_surface), 0);
}

// Every letter and digit reads at 1x: one piece of ink each, but i and j a dot over a stem with a
// clear row between them (the font's own hints joined them into a bar: "ls the shlp").
TEST_F(Gfx, EveryLetterIsOnePieceAndIAndJHaveTheirDots) {
    start_display();
    PaletteEntry pal[256] = {};
    pal[1] = PaletteEntry{255, 0, 0, 0};
    gfx_palette_set_all(pal);
    ASSERT_GT(plat_text_width("i"), 0) << "the game font (fonts-dejavu-extra) is missing";
    const std::string glyphs = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (char g : glyphs) {
        gfx_fill_surface(back_surface, 0, nullptr);
        const char text[2] = {g, 0};
        ASSERT_EQ(gfx_draw_text(text, 20, 40, 0x0000FF, back_surface), 1);
        std::vector<std::array<int, 2>> pieces = ink_pieces(1);
        if (g != 'i' && g != 'j') {
            EXPECT_EQ(pieces.size(), 1u) << "'" << g << "' falls apart or shows nothing";
            continue;
        }
        // Hand-checked on the screen: the dot on rows 42-43, row 44 clear, the stem from row 45.
        ASSERT_EQ(pieces.size(), 2u) << "'" << g << "' has no dot of its own";
        EXPECT_EQ(pieces[0], (std::array<int, 2>{42, 43})) << "'" << g << "': the dot";
        EXPECT_EQ(pieces[1][0], 45) << "'" << g << "': the stem starts a clear row below the dot";
        EXPECT_GE(pieces[1][1], 51) << "'" << g << "': the stem reaches the baseline";
    }
    // In a line of the instructions too: "is the ship" keeps both dots.
    gfx_fill_surface(back_surface, 0, nullptr);
    ASSERT_EQ(gfx_draw_text("is the ship", 20, 40, 0x0000FF, back_surface), 1);
    std::vector<std::array<int, 2>> pieces = ink_pieces(1);
    EXPECT_EQ(std::count(pieces.begin(), pieces.end(), std::array<int, 2>{42, 43}), 2) << "two dots";
}
