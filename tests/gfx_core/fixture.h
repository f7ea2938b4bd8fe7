// Fresh headless platform and display per case.
#pragma once
#include <gtest/gtest.h>

#include "gfx/display.h"
#include "platform/plat_headless.h"
#include "platform/plat_system.h"

class GfxCore : public ::testing::Test {
protected:
    void SetUp() override
    {
        gfx_display_shutdown();
        plat_headless_reset();
    }
    void TearDown() override
    {
        gfx_display_shutdown();
        plat_headless_reset();
    }
    static void start_display(int32_t windowed = 0)
    {
        ASSERT_EQ(gfx_display_init(640, 480, 8, windowed), 1);
    }
};

inline uint8_t pixel_at(const PlatSurface *s, int32_t x, int32_t y) { return s->pixels[(size_t)y * s->pitch + x]; }
