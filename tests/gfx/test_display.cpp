#include "gfx_fixture.h"

#include "gfx/palette.h"

TEST_F(Gfx, InitSetsModeClipAndClearedSurfaces)
{
    start_display();
    EXPECT_EQ(screen_width, 640);
    EXPECT_EQ(screen_height, 480);
    EXPECT_EQ(screen_bpp, 8);
    EXPECT_EQ(screen_windowed, 0);
    EXPECT_EQ(clip_min_x, 0);
    EXPECT_EQ(clip_max_x, 639);
    EXPECT_EQ(clip_min_y, 0);
    EXPECT_EQ(clip_max_y, 479);
    EXPECT_EQ(pixel_format, 8);
    EXPECT_EQ(gfx_rgb16, &gfx_rgb16_565);
    EXPECT_EQ(display_palette, 1);
    ASSERT_NE(back_surface, nullptr);
    ASSERT_NE(primary_surface, nullptr);
    ASSERT_NE(back_clipper, nullptr);
    EXPECT_EQ(window_clipper, nullptr);
    for (uint8_t b : back_surface->pixels) ASSERT_EQ(b, 0);
    for (uint8_t b : primary_surface->pixels) ASSERT_EQ(b, 0);
    EXPECT_EQ(plat_window_is_fullscreen(), plat_window_is_open() ? 1 : 0);
}

TEST_F(Gfx, ShutdownResetsAndInitWorksAgain)
{
    int32_t before = plat_surface_live_count();
    start_display();
    gfx_lock_back();
    EXPECT_EQ(gfx_display_shutdown(), 1);
    EXPECT_EQ(plat_surface_live_count(), before);
    EXPECT_EQ(display_started, 0);
    EXPECT_EQ(back_surface, nullptr);
    EXPECT_EQ(back_buffer, nullptr);
    EXPECT_EQ(back_clipper, nullptr);
    start_display();
    EXPECT_EQ(gfx_flip(), 1);
}

TEST_F(Gfx, LockContract)
{
    start_display();
    int32_t frames = plat_headless_frame_count();
    uint8_t *a = gfx_lock_back();
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(gfx_lock_back(), a);
    EXPECT_EQ(back_pitch, back_surface->pitch);
    EXPECT_GE(back_pitch, 640);
    EXPECT_EQ(gfx_flip(), 0);
    EXPECT_EQ(plat_headless_frame_count(), frames);
    EXPECT_EQ(gfx_unlock_back(), 1);
    EXPECT_EQ(gfx_unlock_back(), 0);
    EXPECT_EQ(back_buffer, nullptr);
    EXPECT_EQ(back_pitch, 0);

    ASSERT_NE(gfx_lock_primary(), nullptr);
    EXPECT_EQ(gfx_flip(), 0);
    EXPECT_EQ(gfx_unlock_primary(), 1);
    EXPECT_EQ(gfx_unlock_primary(), 0);

    a = gfx_lock_back();
    a[5 * back_pitch + 7] = 42;
    gfx_unlock_back();
    EXPECT_EQ(gfx_flip(), 1);
    EXPECT_EQ(plat_headless_frame_count(), frames + 1);
    EXPECT_EQ(plat_headless_frame_pixels()[5 * 640 + 7], 42);
    EXPECT_EQ(pixel_at(primary_surface, 7, 5), 42) << "the primary keeps the shown frame";

    int32_t pitch = -1;
    EXPECT_EQ(gfx_lock_surface(nullptr, &pitch), nullptr);
    EXPECT_EQ(pitch, -1);
    EXPECT_EQ(gfx_unlock_surface(nullptr), 0);
}

TEST_F(Gfx, FillsAreClippedAndMasked)
{
    start_display();
    PlatRect r{630, 470, 700, 500};
    EXPECT_EQ(gfx_fill_surface(back_surface, 0x1234A, &r), 1);
    EXPECT_EQ(pixel_at(back_surface, 639, 479), 0x4A);
    EXPECT_EQ(pixel_at(back_surface, 630, 470), 0x4A);
    EXPECT_EQ(pixel_at(back_surface, 629, 470), 0);
    // Only the screen may be written, not the pitch padding past it.
    EXPECT_EQ(back_surface->pixels.size(), (size_t)back_surface->pitch * 480);

    PlatSurface *s = gfx_create_surface(4, 4, GFX_SURFACE_SYSTEM_MEMORY, 0x10000);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->key_lo, 0u);
    EXPECT_EQ(s->key_hi, 0u);
    EXPECT_EQ(s->bpp, 8);
    gfx_fill_surface(s, 0x1FF, nullptr);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++) EXPECT_EQ(pixel_at(s, x, y), 0xFF);
    plat_surface_release(s);
}

TEST_F(Gfx, ClipperBoundGrowsOverRectangles)
{
    start_display();
    PlatSurface *s = gfx_create_surface(64, 64, 0, 0);
    ASSERT_NE(s, nullptr);
    PlatRect rects[2] = {{10, 20, 30, 40}, {0, 50, 15, 60}};
    GfxClipper *c = gfx_attach_clipper(s, 2, rects);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->bound.left, 0);
    EXPECT_EQ(c->bound.top, 20);
    EXPECT_EQ(c->bound.right, 30);
    EXPECT_EQ(c->bound.bottom, 60);
    ASSERT_EQ(c->count, 2);
    EXPECT_EQ(c->rects[1].bottom, 60);
    ASSERT_EQ(s->clip.size(), 2u);
    gfx_fill_surface(s, 9, nullptr);
    EXPECT_EQ(pixel_at(s, 10, 20), 9);
    EXPECT_EQ(pixel_at(s, 5, 55), 9);
    EXPECT_EQ(pixel_at(s, 5, 25), 0);
    EXPECT_EQ(pixel_at(s, 40, 40), 0);
    gfx_release_clipper(c);
    plat_surface_release(s);
    EXPECT_EQ(gfx_attach_clipper(nullptr, 1, rects), nullptr);
}

TEST_F(Gfx, NothingWorksBeforeTheDisplayStarts)
{
    int32_t live = plat_surface_live_count();
    EXPECT_EQ(gfx_lock_back(), nullptr);
    EXPECT_EQ(gfx_lock_primary(), nullptr);
    EXPECT_EQ(gfx_unlock_back(), 0);
    EXPECT_EQ(gfx_flip(), 0);
    EXPECT_EQ(plat_headless_frame_count(), 0);
    EXPECT_EQ(gfx_fill_surface(back_surface, 3, nullptr), 1);
    EXPECT_EQ(gfx_create_surface(8, 8, 0, 0), nullptr);
    PlatRect r{0, 0, 1, 1};
    EXPECT_EQ(gfx_attach_clipper(nullptr, 1, &r), nullptr);
    EXPECT_EQ(plat_surface_live_count(), live);

    PaletteEntry red{255, 0, 0, 0};
    EXPECT_EQ(gfx_palette_set_entry(3, &red), 1);
    PaletteEntry out{};
    gfx_palette_get_entry(3, &out);
    EXPECT_EQ(out.red, 255);
    PlatColor device[256];
    plat_palette_get(0, 256, device);
    EXPECT_EQ(device[3].r, 0) << "no device palette yet";
}

TEST_F(Gfx, WindowedInitUsesAnOffscreenBackAndClipsThePrimary)
{
    start_display(1);
    EXPECT_EQ(screen_windowed, 1);
    ASSERT_NE(window_clipper, nullptr);
    EXPECT_EQ(palette_shadow[0].flags, PC_EXPLICIT);
    EXPECT_EQ(palette_shadow[255].flags, PC_EXPLICIT);
    EXPECT_EQ(palette_shadow[100].flags, 0);
    EXPECT_EQ(plat_window_is_fullscreen(), 0);
    EXPECT_EQ(gfx_flip(), 1);
}

TEST_F(Gfx, Rgb16Builders)
{
    EXPECT_EQ(gfx_rgb16_565(255, 255, 255), 0xFFFF);
    EXPECT_EQ(gfx_rgb16_555(255, 255, 255), 0x7FFF);
    EXPECT_EQ(gfx_rgb16_565(255, 0, 0), 0xF800);
    EXPECT_EQ(gfx_rgb16_555(255, 0, 0), 0x7C00);
    EXPECT_EQ(gfx_rgb16_565(0, 4, 0), 0x0020);
    EXPECT_EQ(gfx_rgb16_555(0, 4, 0), 0);
    EXPECT_EQ(gfx_rgb16_565(0, 0, 255), 0x001F);
}

TEST_F(Gfx, UnsupportedDepthFails)
{
    EXPECT_EQ(gfx_display_init(640, 480, 24, 0), 0);
    EXPECT_EQ(back_surface, nullptr);
    EXPECT_EQ(gfx_flip(), 0);
}
