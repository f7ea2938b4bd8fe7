// The headless platform: the game's random numbers, surfaces, presenting, clock,
// messages and text.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/plat_headless.h"
#include "platform/plat_system.h"
#include "platform/plat_video.h"

namespace {

struct Platform : ::testing::Test {
    void SetUp() override {
        plat_headless_reset();
        ASSERT_EQ(plat_window_open("t", 640, 480, 0), 1);
        ASSERT_EQ(plat_display_open(640, 480, 8), 1);
    }
    void TearDown() override {
        plat_display_close();
        plat_window_close();
    }
};

uint8_t px(const PlatSurface *s, int x, int y) { return s->pixels[static_cast<size_t>(y) * s->pitch + x]; }

TEST(PlatRandom, KnownSeedGivesTheCRuntimeSequence) {
    plat_srand(1);
    EXPECT_EQ(plat_rand(), 41);
    EXPECT_EQ(plat_rand(), 18467);
    EXPECT_EQ(plat_rand(), 6334);
    EXPECT_EQ(plat_rand(), 26500);
    plat_srand(0xFFFFFFFFu);
    EXPECT_EQ(plat_rand(), 35) << "bits 16 to 30 of a wrapped state";
}

TEST_F(Platform, SurfacesHaveAPitchWiderThanOddRowsAndCountLive) {
    int32_t before = plat_surface_live_count();
    PlatSurface *s = plat_surface_create(22, 18, 8);
    ASSERT_NE(s, nullptr);
    EXPECT_GE(s->pitch, 22);
    EXPECT_EQ(plat_surface_live_count(), before + 1);
    int32_t pitch = 0;
    EXPECT_EQ(plat_surface_lock(s, &pitch), s->pixels.data());
    EXPECT_EQ(pitch, s->pitch);
    EXPECT_EQ(plat_surface_unlock(s), 1);
    plat_surface_release(s);
    EXPECT_EQ(plat_surface_live_count(), before);
    EXPECT_EQ(plat_surface_create(0, 10, 8), nullptr);
    EXPECT_EQ(plat_surface_create(10, 10, 24), nullptr);
    EXPECT_EQ(plat_surface_lock(nullptr, &pitch), nullptr);
    EXPECT_EQ(plat_surface_unlock(nullptr), 0);
}

TEST_F(Platform, FillsAreCutToTheClipListAndMaskedToTheDepth) {
    PlatSurface *s = plat_surface_create(100, 50, 8);
    PlatRect clip[2] = {{10, 10, 20, 20}, {50, 0, 60, 5}};
    plat_surface_set_clip_list(s, clip, 2);
    EXPECT_EQ(plat_surface_fill(s, nullptr, 0x1234), 1);
    EXPECT_EQ(px(s, 10, 10), 0x34);
    EXPECT_EQ(px(s, 19, 19), 0x34);
    EXPECT_EQ(px(s, 20, 19), 0);
    EXPECT_EQ(px(s, 55, 4), 0x34);
    EXPECT_EQ(px(s, 55, 5), 0);
    EXPECT_EQ(px(s, 0, 0), 0);
    PlatRect r{-5, -5, 12, 12};
    plat_surface_set_clip_list(s, nullptr, 0);
    plat_surface_fill(s, &r, 7);
    EXPECT_EQ(px(s, 0, 0), 7);
    EXPECT_EQ(px(s, 11, 11), 7);
    EXPECT_EQ(px(s, 12, 12), 0x34);
    plat_surface_lock(s, nullptr);
    EXPECT_EQ(plat_surface_fill(s, nullptr, 9), 0) << "no fill while locked";
    plat_surface_unlock(s);
    plat_surface_release(s);
}

TEST_F(Platform, KeyedBlitsSkipTheKeyStretchAndClipNegativePositions) {
    PlatSurface *dst = plat_surface_create(64, 64, 8);
    PlatSurface *src = plat_surface_create(4, 4, 8);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++)
            src->pixels[static_cast<size_t>(y) * src->pitch + x] = static_cast<uint8_t>(x == 0 ? 0 : 10 + y * 4 + x);
    plat_surface_set_color_key(src, 0, 0);
    plat_surface_fill(dst, nullptr, 99);
    PlatRect clip{0, 0, 64, 64};
    plat_surface_set_clip_list(dst, &clip, 1);

    PlatRect at{-2, -1, 2, 3};
    EXPECT_EQ(plat_surface_blit(dst, &at, src, nullptr, 1), 1);
    EXPECT_EQ(px(dst, 0, 0), 10 + 4 + 2) << "source (2,1) lands on (0,0)";
    EXPECT_EQ(px(dst, 1, 2), 10 + 12 + 3);
    EXPECT_EQ(px(dst, 2, 0), 99) << "right edge exclusive";

    PlatRect big{10, 10, 18, 18};
    EXPECT_EQ(plat_surface_blit(dst, &big, src, nullptr, 1), 1);
    EXPECT_EQ(px(dst, 10, 10), 99) << "keyed column stays transparent when stretched";
    EXPECT_EQ(px(dst, 11, 11), 99);
    EXPECT_EQ(px(dst, 12, 10), 11);
    EXPECT_EQ(px(dst, 13, 11), 11);

    PlatSurface *w = plat_surface_create(4, 4, 16);
    EXPECT_EQ(plat_surface_blit(dst, nullptr, w, nullptr, 0), 0) << "depths must match";
    plat_surface_release(w);
    plat_surface_release(src);
    plat_surface_release(dst);
}

TEST_F(Platform, MessagesComeOneAtATimeInOrder) {
    PlatMessage m{};
    while (plat_message_peek(&m)) {
    }
    plat_message_post(PLAT_MSG_PAINT, 0, 0);
    plat_message_post(PLAT_MSG_DESTROY, 0, 0);
    ASSERT_EQ(plat_message_peek(&m), 1);
    EXPECT_EQ(m.type, PLAT_MSG_PAINT);
    ASSERT_EQ(plat_message_peek(&m), 1);
    EXPECT_EQ(m.type, PLAT_MSG_DESTROY);
    plat_message_default(&m);
    ASSERT_EQ(plat_message_peek(&m), 1);
    EXPECT_EQ(m.type, PLAT_MSG_QUIT);
    EXPECT_EQ(plat_message_peek(&m), 0);
    plat_message_post_quit(7);
    ASSERT_EQ(plat_message_peek(&m), 1);
    EXPECT_EQ(m.wparam, 7);
}

// Text is ink pixels only, in the nearest entry (the lowest on ties): no antialiasing, no
// background box.
TEST_F(Platform, TextUsesTheNearestEntryLeavesTheBackgroundAndRefusesLockedSurfaces) {
    PlatColor pal[256] = {};
    for (int i = 0; i < 256; i++) pal[i] = PlatColor{static_cast<uint8_t>(i), 0, 0, 0};
    pal[77] = PlatColor{0, 250, 0, 0};
    pal[9] = PlatColor{250, 0, 0, 0};
    plat_palette_set(0, 256, pal);
    EXPECT_EQ(plat_palette_nearest(0x0000FA), 9) << "red is the low byte; 250 twice, at 9 and 250";
    EXPECT_EQ(plat_palette_set(250, 10, pal), 0) << "past the last entry";
    PlatSurface *s = plat_surface_create(200, 40, 8);
    plat_surface_fill(s, nullptr, 5);
    ASSERT_EQ(plat_draw_text(s, "START GAME", 10, 10, 0x00FF00), 1);
    int ink = 0, other = 0;
    for (int y = 0; y < 40; y++)
        for (int x = 0; x < 200; x++) ink += px(s, x, y) == 77, other += px(s, x, y) != 77 && px(s, x, y) != 5;
    EXPECT_GT(ink, 100);
    EXPECT_EQ(other, 0);
    plat_surface_lock(s, nullptr);
    EXPECT_EQ(plat_draw_text(s, "QUIT", 0, 0, 0xFF), 0);
    plat_surface_unlock(s);
    plat_surface_release(s);
}

} // namespace
