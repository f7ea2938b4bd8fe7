#include "gfx_fixture.h"

#include <cstring>
#include <vector>

#include "gfx/palette.h"
#include "gfx/transition.h"

namespace {

void set_ramp(void) {
    PaletteEntry pal[256];
    for (int i = 0; i < 256; i++)
        pal[i] = PaletteEntry{static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i), 6};
    gfx_palette_set_all(pal);
}

int zeros(const std::vector<uint8_t> &m) {
    int n = 0;
    for (uint8_t b : m) n += b == 0;
    return n;
}

} // namespace

TEST_F(Gfx, FadeToBlackLeavesTheTopValuesFadesToColoursReachThem) {
    start_display();
    set_ramp();
    uint32_t before = plat_headless_now();
    gfx_screen_transition(TRANSITION_FADE_BLACK, nullptr, 0);
    EXPECT_GE(plat_headless_now() - before, 80u * 12u);
    EXPECT_EQ(palette_shadow[0].red, 0);
    EXPECT_EQ(palette_shadow[0].green, 255) << "entry 0 is left alone";
    for (int i = 1; i < 256; i++) {
        int expect_r = i >= 242 ? i - 240 : 0;
        int expect_g = 255 - i >= 242 ? 255 - i - 240 : 0;
        ASSERT_EQ(palette_shadow[i].red, expect_r) << i;
        ASSERT_EQ(palette_shadow[i].green, expect_g) << i;
        ASSERT_EQ(palette_shadow[i].flags, 6);
    }
    PlatColor device{};
    plat_palette_get(255, 1, &device);
    EXPECT_EQ(device.r, 15);

    // Fades towards colours take 64 steps and reach their colour.
    const struct {
        uint32_t effect;
        int r, g, b;
    } fades[] = {{TRANSITION_FADE_WHITE, 255, 255, 255},
                 {TRANSITION_FADE_BLUE, 0, 0, 255},
                 {TRANSITION_FADE_RED, 255, 0, 0},
                 {TRANSITION_FADE_GREEN, 0, 255, 0}};
    for (const auto &f : fades) {
        set_ramp();
        uint32_t t = plat_headless_now();
        gfx_screen_transition(f.effect, nullptr, 0);
        EXPECT_GE(plat_headless_now() - t, 64u * 12u);
        for (const PaletteEntry &e : palette_shadow)
            ASSERT_EQ(std::vector<int>({e.red, e.green, e.blue}), std::vector<int>({f.r, f.g, f.b})) << f.effect;
    }
}

TEST_F(Gfx, ClosingEffectsBlankTheScreen) {
    start_display();
    const int pitch = 656;
    for (uint32_t effect : {TRANSITION_CLOSE_SIDES, TRANSITION_CLOSE_TOP_BOTTOM, TRANSITION_CLOSE_ALL}) {
        std::vector<uint8_t> mem(static_cast<size_t>(pitch) * 480, 7);
        uint32_t t = plat_headless_now();
        gfx_screen_transition(effect, mem.data(), pitch);
        uint32_t steps = effect == TRANSITION_CLOSE_TOP_BOTTOM ? 120 : 160;
        EXPECT_GE(plat_headless_now() - t, steps * 12);
        for (int y = 0; y < 480; y++) {
            for (int x = 0; x < 640; x++)
                ASSERT_EQ(mem[static_cast<size_t>(y) * pitch + x], 0) << effect << " " << x << "," << y;
            for (int x = 640; x < pitch; x++)
                ASSERT_EQ(mem[static_cast<size_t>(y) * pitch + x], 7) << "padding written";
        }
    }
}

// W x H x 4 + 1 pixels, each a row draw then a column draw of the game's generator: on a
// 16 by 8 screen a few pixels stay, and which ones depends on that order.
TEST_F(Gfx, DissolveBlanksPixelsInRandomRowThenColumnOrder) {
    ASSERT_EQ(gfx_display_init(16, 8, 8, 0, GAME_FILE_PALETTE), 1);
    std::vector<uint8_t> mem(16 * 8, 7), model(16 * 8, 7);
    plat_srand(5);
    gfx_screen_transition(TRANSITION_DISSOLVE, mem.data(), 16);
    uint32_t state = 5;
    auto rnd = [&state]() {
        state = state * 214013u + 2531011u;
        return static_cast<int32_t>((state >> 16) & 0x7fff);
    };
    for (int n = 0; n < 16 * 8 * 4 + 1; n++) {
        int32_t y = rnd() % 8;
        model[y * 16 + rnd() % 16] = 0;
    }
    EXPECT_EQ(mem, model);
    EXPECT_GT(zeros(mem), 100);
    EXPECT_LT(zeros(mem), 128);

    screen_bpp = 24;
    std::vector<uint8_t> other(16 * 8, 7);
    uint32_t t = plat_headless_now();
    gfx_screen_transition(TRANSITION_CLOSE_SIDES, other.data(), 16);
    EXPECT_GE(plat_headless_now() - t, 4u * 12u) << "still waits through its steps";
    gfx_screen_transition(TRANSITION_DISSOLVE, other.data(), 16);
    EXPECT_EQ(zeros(other), 0);
}

TEST_F(Gfx, LinesAreClipped) {
    start_display();
    std::vector<uint8_t> a(static_cast<size_t>(640) * 480, 0), b(static_cast<size_t>(640) * 480, 0);
    gfx_draw_hline8(-20, 700, 5, 3, a.data(), 640);
    gfx_draw_hline8(700, -20, 5, 3, b.data(), 640);
    EXPECT_EQ(a, b) << "ends in either order";
    EXPECT_EQ(zeros(a), 640 * 479);
    gfx_draw_vline8(470, 600, 9, 4, a.data(), 640);
    for (int y = 469; y < 480; y++) ASSERT_EQ(a[static_cast<size_t>(y) * 640 + 9], y == 469 ? 0 : 4);
    std::vector<uint8_t> c(static_cast<size_t>(640) * 480, 0);
    gfx_draw_hline8(-30, -1, 5, 3, c.data(), 640);
    gfx_draw_hline8(0, 10, 480, 3, c.data(), 640);
    gfx_draw_vline8(500, 480, 4, 3, c.data(), 640);
    EXPECT_EQ(zeros(c), 640 * 480);
    uint16_t words[4] = {1, 1, 1, 1};
    gfx_fill_words16(words, 9, 0);
    EXPECT_EQ(words[0], 1);
    gfx_fill_words16(words, 9, 3);
    EXPECT_EQ(std::vector<uint16_t>(words, words + 4), std::vector<uint16_t>({9, 9, 9, 1}));
}
