// The display device: start-up state, locks, fills, clippers, flips, colour builders.
#include "gfx_fixture.h"

#include <vector>

#include "gfx/palette.h"

TEST_F(Gfx, InitSetsModeClipAndClearedSurfaces) {
    EXPECT_EQ(gfx_lock_back(), nullptr) << "nothing before the display starts";
    EXPECT_EQ(gfx_flip(), 0);
    start_display();
    EXPECT_EQ(std::vector<int32_t>({screen_width, screen_height, screen_bpp, screen_windowed, pixel_format}),
              std::vector<int32_t>({640, 480, 8, 0, 8}));
    EXPECT_EQ(std::vector<int32_t>({clip_min_x, clip_max_x, clip_min_y, clip_max_y}),
              std::vector<int32_t>({0, 639, 0, 479}));
    EXPECT_EQ(gfx_rgb16, &gfx_rgb16_565);
    ASSERT_NE(back_clipper, nullptr);
    EXPECT_EQ(window_clipper, nullptr);
    for (uint8_t b : back_surface->pixels) ASSERT_EQ(b, 0);
    for (uint8_t b : primary_surface->pixels) ASSERT_EQ(b, 0);
    EXPECT_EQ(gfx_display_init(640, 480, 24, 0, GAME_FILE_PALETTE), 0) << "8 or 16 bits only";
}

TEST_F(Gfx, LocksAreCachedAndAFlipWaitsForTheUnlock) {
    start_display();
    int32_t frames = plat_headless_frame_count();
    uint8_t *a = gfx_lock_back();
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(gfx_lock_back(), a);
    EXPECT_EQ(back_pitch, back_surface->pitch);
    EXPECT_EQ(gfx_flip(), 0);
    EXPECT_EQ(plat_headless_frame_count(), frames);
    a[5 * back_pitch + 7] = 42;
    EXPECT_EQ(gfx_unlock_back(), 1);
    EXPECT_EQ(gfx_unlock_back(), 0);
    EXPECT_EQ(back_buffer, nullptr);
    EXPECT_EQ(back_pitch, 0);
    ASSERT_NE(gfx_lock_primary(), nullptr);
    EXPECT_EQ(gfx_flip(), 0);
    EXPECT_EQ(gfx_unlock_primary(), 1);
    EXPECT_EQ(gfx_flip(), 1);
    EXPECT_EQ(plat_headless_frame_count(), frames + 1);
    EXPECT_EQ(plat_headless_frame_pixels()[5 * 640 + 7], 42);
    EXPECT_EQ(pixel_at(primary_surface, 7, 5), 42) << "the primary keeps the shown frame";
    EXPECT_EQ(gfx_lock_surface(nullptr, nullptr), nullptr);
    EXPECT_EQ(gfx_unlock_surface(nullptr), 0);
}

// A repeated frame needs no new copy into the primary, unless something drew on the primary.
TEST_F(Gfx, ThePrimaryShowsARepeatedFrameAfterDrawingOnIt) {
    start_display();
    const PlatRect spot{7, 5, 8, 6};
    for (int way = 0; way < 3; way++) {
        SCOPED_TRACE(way);
        gfx_fill_surface(back_surface, 42, &spot);
        ASSERT_EQ(gfx_flip(), 1);
        ASSERT_EQ(gfx_flip(), 1);
        if (way == 0) gfx_fill_surface(primary_surface, 9, &spot);
        if (way == 1) {
            uint8_t *p = gfx_lock_primary();
            ASSERT_NE(p, nullptr);
            p[5 * primary_pitch + 7] = 9;
            gfx_unlock_primary();
        }
        ASSERT_EQ(pixel_at(primary_surface, 7, 5), way == 2 ? 42 : 9);
        ASSERT_EQ(gfx_flip(), 1) << "the same frame again";
        EXPECT_EQ(pixel_at(primary_surface, 7, 5), 42);
        gfx_fill_surface(back_surface, 3, &spot);
        ASSERT_EQ(gfx_flip(), 1);
        EXPECT_EQ(pixel_at(primary_surface, 7, 5), 3) << "a new frame";
    }
}

TEST_F(Gfx, ClippersBoundAndCutTheirRectangles) {
    start_display();
    PlatSurface *s = gfx_create_surface(64, 64, GFX_SURFACE_SYSTEM_MEMORY, 0x10000);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->key_lo, 0u);
    EXPECT_EQ(s->key_hi, 0u);
    PlatRect rects[2] = {{10, 20, 30, 40}, {0, 50, 15, 60}};
    GfxClipper *c = gfx_attach_clipper(s, 2, rects);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(std::vector<int32_t>({c->bound.left, c->bound.top, c->bound.right, c->bound.bottom}),
              std::vector<int32_t>({0, 20, 30, 60}));
    gfx_fill_surface(s, 9, nullptr);
    EXPECT_EQ(pixel_at(s, 10, 20), 9);
    EXPECT_EQ(pixel_at(s, 5, 55), 9);
    EXPECT_EQ(pixel_at(s, 5, 25), 0);
    EXPECT_EQ(pixel_at(s, 30, 39), 0);
    gfx_release_clipper(c);
    plat_surface_release(s);
}

TEST_F(Gfx, WindowedInitUsesAnOffscreenBackAndExplicitSystemColours) {
    start_display(1);
    EXPECT_EQ(screen_windowed, 1);
    ASSERT_NE(window_clipper, nullptr);
    for (int i : {9, 10, 245, 246})
        EXPECT_EQ(palette_shadow[i].flags, i < 10 || i > 245 ? PC_EXPLICIT : 0) << "entry " << i;
    EXPECT_EQ(gfx_flip(), 1);
}
