// The web build draws its words from an atlas measured off the native text renderer: every
// line the game shows, and lines of every printable character, must come out pixel for pixel
// as the native renderer draws them, at the width it reports.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "game/game_internal.h"
#include "platform/plat_headless.h"
#include "platform/plat_video.h"
#include "platform/web/web_glyphs.h"
#include "tools/webfont/webfont.h"

namespace {

constexpr int32_t W = 700, H = 24;

struct WebText : ::testing::Test {
    static WebGlyphAtlas atlas;
    static int32_t measured;
    PlatSurface *native = nullptr, *web = nullptr;

    static void SetUpTestSuite() { measured = webfont_measure(&atlas); }
    void SetUp() override {
        plat_headless_reset();
        native = plat_surface_create(W, H, 8);
        web = plat_surface_create(W, H, 8);
    }
    void TearDown() override {
        plat_surface_release(native);
        plat_surface_release(web);
    }
    static void ink(int32_t x, int32_t y, void *context) {
        auto *s = static_cast<PlatSurface *>(context);
        if (x >= 0 && y >= 0 && x < s->width && y < s->height) s->pixels[static_cast<size_t>(y) * s->pitch + x] = 1;
    }
    // Both drawings of text at x; "" when they agree, else where they first differ.
    std::string compare(const std::string &text, int32_t x) {
        plat_surface_fill(native, nullptr, 0);
        plat_surface_fill(web, nullptr, 0);
        plat_draw_text(native, text.c_str(), x, 2, 0xFFFFFF);
        web_glyphs_draw(&atlas, text.c_str(), x, 2, ink, web);
        for (int32_t y = 0; y < H; y++)
            for (int32_t px = 0; px < W; px++)
                if (native->pixels[static_cast<size_t>(y) * native->pitch + px] !=
                    web->pixels[static_cast<size_t>(y) * web->pitch + px]) {
                    char where[64];
                    std::snprintf(where, sizeof where, "pixel %d,%d", px, y);
                    return where;
                }
        return "";
    }
};
WebGlyphAtlas WebText::atlas;
int32_t WebText::measured = 0;

std::vector<std::string> game_lines(void) {
    std::vector<std::string> lines = {"START GAME",
                                      "GAME OPTIONS",
                                      "QUIT",
                                      "INSTRUCTIONS",
                                      "Play the best of:",
                                      "1 Round",
                                      "3 Rounds",
                                      "5 Rounds",
                                      "Press [SPACEBAR] to return to menu",
                                      "Player 1 Wins",
                                      "Player 2 Wins",
                                      "Waiting for the other player...",
                                      "AV Wa To LT Yo ff fi fl ffi ffl offline \"Quorvane\" {x} ~ `j` |_|"};
    for (const char *line : story_lines) lines.push_back(line);
    char status[200];
    for (int p = 1; p <= 2; p++)
        for (int angle : {0, 7, 45, 90, 181, 359})
            for (int power : {1, 100, 455, 1000}) {
                std::snprintf(status, sizeof status, "PLAYER:%i      ANGLE:%i      POWER:%i      SCORE:%i out of %i", p,
                              angle, power, angle % 4, 5);
                lines.push_back(status);
            }
    // Every printable character after every other one.
    std::string all;
    for (int c = 32; c < 127; c++) all += static_cast<char>(c);
    for (int shift = 0; shift < 95; shift += 5) lines.push_back(all.substr(shift) + all.substr(0, shift));
    return lines;
}

TEST_F(WebText, EveryLineAsTheNativeRendererDrawsIt) {
    ASSERT_TRUE(measured) << "the native font could not be measured";
    PlatColor palette[256] = {};
    palette[1] = PlatColor{255, 255, 255, 0};
    plat_palette_set(0, 256, palette);
    for (const std::string &line : game_lines()) {
        for (int32_t x : {0, 10, 277}) {
            if (x + plat_text_width(line.c_str()) > W) continue;
            EXPECT_EQ(compare(line, x), "") << "\"" << line << "\" at x " << x;
        }
        EXPECT_EQ(web_glyphs_width(&atlas, line.c_str()), plat_text_width(line.c_str())) << line;
    }
}

TEST_F(WebText, TheAtlasFileReadsBackWhole) {
    ASSERT_TRUE(measured);
    std::vector<uint8_t> bytes = web_glyphs_encode(&atlas);
    static WebGlyphAtlas back;
    ASSERT_TRUE(web_glyphs_decode(bytes.data(), bytes.size(), &back));
    EXPECT_EQ(web_glyphs_encode(&back), bytes);
    // Cut short or with a foreign tag it is refused, never read past its end.
    EXPECT_FALSE(web_glyphs_decode(bytes.data(), bytes.size() - 1, &back));
    bytes[0] = 'X';
    EXPECT_FALSE(web_glyphs_decode(bytes.data(), bytes.size(), &back));
}

} // namespace
