// The real SDL backend on SDL's dummy video driver: window, display, present,
// palette, text, events, close.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/plat_system.h"
#include "platform/plat_video.h"

TEST(SdlBackend, OpensPresentsAndCloses)
{
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    ASSERT_EQ(plat_init(), 1) << plat_error();
    ASSERT_EQ(plat_window_open("Quorvane", 640, 480, 1), 1) << plat_error();
    ASSERT_EQ(plat_display_open(640, 480, 8), 1) << plat_error();
    PlatSurface *back = plat_surface_create(640, 480, 8);
    PlatColor pal[256] = {};
    pal[1] = PlatColor{255, 0, 0, 0};
    EXPECT_EQ(plat_palette_set(0, 256, pal), 1);
    plat_surface_fill(back, nullptr, 1);
    EXPECT_EQ(plat_draw_text(back, "START GAME", 277, 305, 0x0000FF), 1);
    EXPECT_EQ(plat_present(back), 1);
    pal[1] = PlatColor{0, 0, 255, 0};
    EXPECT_EQ(plat_palette_set(1, 1, &pal[1]), 1);
    int32_t w = 0, h = 0;
    EXPECT_EQ(plat_output_size(&w, &h), 1);
    EXPECT_GT(w, 0);
    EXPECT_EQ(plat_window_set_fullscreen(0), 1);
    EXPECT_EQ(plat_window_is_fullscreen(), 0);
    EXPECT_EQ(plat_present(back), 1);
    PlatMessage m{};
    int guard = 0;
    while (plat_message_peek(&m) && guard++ < 100) {
    }
    uint32_t t0 = plat_ticks();
    EXPECT_GE(plat_ticks() - t0, 0u);
    plat_surface_release(back);
    plat_display_close();
    plat_shutdown();
    EXPECT_EQ(plat_window_is_open(), 0);
}

TEST(SdlBackend, NoWindowMeansNoDisplay)
{
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    ASSERT_EQ(plat_init(), 1);
    EXPECT_EQ(plat_display_open(640, 480, 8), 0);
    EXPECT_STRNE(plat_error(), "");
    plat_shutdown();
}
