#include "gfx_fixture.h"

#include <vector>

#include "gfx/polygon.h"
#include "gfx/sprite.h"

namespace {

constexpr uint32_t SYSTEM_MEMORY = 2048;

// Every frame's pixel (x, y) written straight into its surface.
template <typename F>
void paint_frame(SpriteObject *s, int32_t frame, F value)
{
    PlatSurface *surf = s->frame_surfaces[frame];
    for (int32_t y = 0; y < s->height; y++)
        for (int32_t x = 0; x < s->width; x++) surf->pixels[(size_t)y * surf->pitch + x] = (uint8_t)value(x, y);
}

std::vector<int32_t> frames_shown(SpriteObject *s, int ticks)
{
    std::vector<int32_t> out;
    for (int i = 0; i < ticks; i++) {
        EXPECT_EQ(gfx_sprite_animate(s), 1);
        out.push_back(s->frame);
    }
    return out;
}

int count_back(uint8_t colour)
{
    int n = 0;
    for (int32_t y = 0; y < back_surface->height; y++)
        for (int32_t x = 0; x < back_surface->width; x++) n += pixel_at(back_surface, x, y) == colour;
    return n;
}

} // namespace

TEST_F(Gfx, SpriteCreateRefusesMoreThan64FramesAndSetsItsFields)
{
    start_display();
    int32_t live = plat_surface_live_count();
    SpriteObject s{};
    EXPECT_EQ(gfx_sprite_create(&s, 1, 2, 8, 8, 65, 0x12, SYSTEM_MEMORY, 0, 8), 0);
    EXPECT_EQ(plat_surface_live_count(), live);
    EXPECT_EQ(gfx_sprite_create(&s, 1, 2, 8, 8, -1, 0x12, SYSTEM_MEMORY, 0, 8), 0);
    EXPECT_EQ(plat_surface_live_count(), live);

    s.int_vars[0] = 17;
    s.float_vars[3] = 2.5f;
    s.counters[2] = 9;
    ASSERT_EQ(gfx_sprite_create(&s, -3, 7, 44, 40, 64, 0x12, SYSTEM_MEMORY, 0, 8), 1);
    EXPECT_EQ(plat_surface_live_count(), live + 64);
    EXPECT_EQ(s.state, 1);
    EXPECT_EQ(s.attr, 0x12u);
    EXPECT_FLOAT_EQ(s.x, -3.0f);
    EXPECT_FLOAT_EQ(s.y, 7.0f);
    EXPECT_EQ(s.frame_count, 64);
    EXPECT_EQ(s.counters[2], 0);
    EXPECT_EQ(s.int_vars[0], 17) << "the owner's variables are left alone";
    EXPECT_FLOAT_EQ(s.float_vars[3], 2.5f);
    for (int i = 0; i < 64; i++) {
        ASSERT_NE(s.frame_surfaces[i], nullptr);
        EXPECT_EQ(s.frame_surfaces[i]->width, 44);
        EXPECT_EQ(s.frame_surfaces[i]->height, 40);
    }
    EXPECT_EQ(gfx_sprite_destroy(&s), 1);
    EXPECT_EQ(plat_surface_live_count(), live);
    EXPECT_EQ(s.frame_surfaces[0], nullptr);

    SpriteObject zero{};
    EXPECT_EQ(gfx_sprite_destroy(&zero), 1);
    EXPECT_EQ(gfx_sprite_destroy(nullptr), 0);
    EXPECT_EQ(gfx_sprite_animate(nullptr), 0);
    EXPECT_EQ(gfx_sprite_draw(nullptr, back_surface), 0);
}

TEST_F(Gfx, SpriteFramesComeFromGridCells)
{
    start_display();
    BmpFile f{};
    auto value = [](int32_t x, int32_t y) { return (x + 3 * y) & 0xFF; };
    make_picture8(&f, 200, 100, value);
    SpriteObject s{};
    ASSERT_EQ(gfx_sprite_create(&s, 0, 0, 44, 44, 3, 0x12, SYSTEM_MEMORY, 0, 8), 1);
    ASSERT_EQ(gfx_sprite_load_frame(&s, &f, 0, 3, 1, 0), 1);
    ASSERT_EQ(gfx_sprite_load_frame(&s, &f, 1, 0, 0, 0), 1);
    ASSERT_EQ(gfx_sprite_load_frame(&s, &f, 2, 20, 30, 1), 1);
    EXPECT_TRUE(s.attr & SPRITE_ATTR_HAS_FRAMES);
    struct { int frame, sx, sy; } expect[] = {{0, 136, 46}, {1, 1, 1}, {2, 20, 30}};
    for (auto e : expect)
        for (int32_t y = 0; y < 44; y++)
            for (int32_t x = 0; x < 44; x++)
                ASSERT_EQ(pixel_at(s.frame_surfaces[e.frame], x, y), value(e.sx + x, e.sy + y))
                    << "frame " << e.frame << " at " << x << "," << y;

    // The polygon module's cell copy uses the same grid.
    PlatSurface *cell = gfx_create_surface(44, 44, 0, 0);
    ASSERT_NE(cell, nullptr);
    ASSERT_EQ(gfx_bitmap_cell_to_surface(&f, cell, 3, 1), 1);
    EXPECT_EQ(pixel_at(cell, 0, 0), value(136, 46));
    EXPECT_EQ(pixel_at(cell, 43, 43), value(179, 89));
    plat_surface_release(cell);
    gfx_sprite_destroy(&s);
    gfx_bmp_unload(&f);
}

TEST_F(Gfx, SpriteFramesOutsideThePictureAreEmpty)
{
    start_display();
    BmpFile f{};
    make_picture8(&f, 50, 50, [](int32_t x, int32_t y) { return 1 + (x + y) % 200; });
    SpriteObject s{};
    ASSERT_EQ(gfx_sprite_create(&s, 0, 0, 44, 44, 3, 0x12, SYSTEM_MEMORY, 0, 8), 1);
    for (int i = 0; i < 3; i++) paint_frame(&s, i, [](int32_t, int32_t) { return 0x55; });

    // Cell (1, 0) starts at column 46 of 50: four columns inside, the rest zero.
    EXPECT_EQ(gfx_sprite_load_frame(&s, &f, 0, 1, 0, 0), 1);
    for (int32_t y = 0; y < 44; y++)
        for (int32_t x = 0; x < 44; x++)
            ASSERT_EQ(pixel_at(s.frame_surfaces[0], x, y), x < 4 ? 1 + (46 + x + 1 + y) % 200 : 0) << x << "," << y;

    EXPECT_EQ(gfx_sprite_load_frame(&s, &f, 1, 2, 0, 0), 0) << "wholly outside";
    EXPECT_EQ(gfx_sprite_load_frame(&s, &f, 1, 0, 60, 1), 0);
    for (int32_t y = 0; y < 44; y++)
        for (int32_t x = 0; x < 44; x++) ASSERT_EQ(pixel_at(s.frame_surfaces[1], x, y), 0);

    gfx_bmp_unload(&f);
    EXPECT_EQ(gfx_sprite_load_frame(&s, &f, 2, 0, 0, 0), 0) << "no picture loaded";
    for (int32_t y = 0; y < 44; y++)
        for (int32_t x = 0; x < 44; x++) ASSERT_EQ(pixel_at(s.frame_surfaces[2], x, y), 0);

    EXPECT_EQ(gfx_sprite_load_frame(&s, &f, 3, 0, 0, 0), 0) << "frame past the count has no surface";
    EXPECT_EQ(gfx_sprite_load_frame(&s, &f, 64, 0, 0, 0), 0);
    gfx_sprite_destroy(&s);
}

TEST_F(Gfx, SpriteAnimationModes)
{
    start_display();
    SpriteObject s{};
    ASSERT_EQ(gfx_sprite_create(&s, 0, 0, 4, 4, 7, 0x12, SYSTEM_MEMORY, 0, 8), 1);
    using V = std::vector<int32_t>;
    gfx_sprite_set_anim_speed(&s, 1);
    EXPECT_EQ(frames_shown(&s, 9), (V{1, 2, 3, 4, 5, 6, 0, 1, 2}));
    s.frame = 0;
    gfx_sprite_set_anim_speed(&s, 3);
    EXPECT_EQ(frames_shown(&s, 9), (V{0, 0, 1, 1, 1, 2, 2, 2, 3}));
    s.frame = 0;
    s.anim_tick = 0;
    gfx_sprite_set_anim_speed(&s, 0);
    EXPECT_EQ(frames_shown(&s, 3), (V{1, 2, 3}));

    // The fixed frame wins over cycling.
    s.attr |= SPRITE_ATTR_FIXED_FRAME;
    s.frame = 5;
    EXPECT_EQ(frames_shown(&s, 2), (V{0, 0}));

    // Lists: looping, and played once holding the last frame.
    s.attr = SPRITE_ATTR_ANIM_LISTS | SPRITE_ATTR_VISIBLE;
    EXPECT_EQ(frames_shown(&s, 2), (V{0, 0})) << "no list loaded: nothing moves";
    const int32_t loop[] = {2, 5, 6};
    const int32_t once[] = {2, 5};
    ASSERT_EQ(gfx_sprite_load_anim(&s, 0, 3, loop), 1);
    ASSERT_EQ(gfx_sprite_load_anim(&s, 1, 2, once), 1);
    EXPECT_EQ(gfx_sprite_load_anim(&s, 16, 2, once), 0);
    gfx_sprite_set_anim_speed(&s, 1);
    gfx_sprite_set_anim(&s, 0);
    EXPECT_EQ(frames_shown(&s, 7), (V{5, 6, 2, 5, 6, 2, 5}));
    EXPECT_EQ(s.anim_state, 0);

    s.attr |= SPRITE_ATTR_ANIM_ONCE;
    gfx_sprite_set_anim(&s, 1);
    EXPECT_EQ(frames_shown(&s, 1), (V{5}));
    EXPECT_EQ(s.anim_state, 0);
    EXPECT_EQ(frames_shown(&s, 3), (V{5, 5, 5}));
    EXPECT_EQ(s.anim_state, 1);
    gfx_sprite_destroy(&s); // frees both lists (LSan)
}

TEST_F(Gfx, SpriteDrawIsKeyedAndOnlyWhenVisible)
{
    start_display();
    SpriteObject s{};
    ASSERT_EQ(gfx_sprite_create(&s, 100, 50, 4, 2, 1, 0x02, SYSTEM_MEMORY, 0, 8), 1);
    // Rows 1 0 2 0 / 0 3 0 4: the zeros are the key.
    paint_frame(&s, 0, [](int32_t x, int32_t y) { return ((x + y) % 2) ? 0 : 1 + x; });
    gfx_fill_surface(back_surface, 9, nullptr);
    EXPECT_EQ(gfx_sprite_draw(&s, back_surface), 1) << "hidden: success, nothing drawn";
    EXPECT_EQ(count_back(9), 640 * 480);

    gfx_sprite_show(&s);
    EXPECT_TRUE(s.attr & SPRITE_ATTR_VISIBLE);
    ASSERT_EQ(gfx_sprite_draw(&s, back_surface), 1);
    EXPECT_EQ(pixel_at(back_surface, 100, 50), 1);
    EXPECT_EQ(pixel_at(back_surface, 101, 50), 9);
    EXPECT_EQ(pixel_at(back_surface, 102, 50), 3);
    EXPECT_EQ(pixel_at(back_surface, 103, 50), 9);
    EXPECT_EQ(pixel_at(back_surface, 100, 51), 9);
    EXPECT_EQ(pixel_at(back_surface, 101, 51), 2);
    EXPECT_EQ(pixel_at(back_surface, 103, 51), 4);
    EXPECT_EQ(count_back(9), 640 * 480 - 4);

    gfx_sprite_hide(&s);
    gfx_fill_surface(back_surface, 9, nullptr);
    EXPECT_EQ(gfx_sprite_draw(&s, back_surface), 1);
    EXPECT_EQ(count_back(9), 640 * 480);

    // A frame without a surface cannot be drawn.
    gfx_sprite_show(&s);
    s.frame = 1;
    EXPECT_EQ(gfx_sprite_draw(&s, back_surface), 0);
    gfx_sprite_destroy(&s);
}

TEST_F(Gfx, SpriteDrawnPartlyOffScreenIsCut)
{
    start_display();
    SpriteObject s{};
    ASSERT_EQ(gfx_sprite_create(&s, 0, 0, 44, 44, 1, 0x12, SYSTEM_MEMORY, 0, 8), 1);
    paint_frame(&s, 0, [](int32_t x, int32_t) { return 1 + x; });

    // x = -10.5: the rectangle starts at column -10 and ends at 33 (both truncated).
    gfx_fill_surface(back_surface, 0, nullptr);
    s.x = -10.5f;
    s.y = 20.0f;
    ASSERT_EQ(gfx_sprite_draw(&s, back_surface), 1);
    EXPECT_EQ(pixel_at(back_surface, 0, 20), 1 + 10);
    EXPECT_NE(pixel_at(back_surface, 32, 20), 0);
    EXPECT_EQ(pixel_at(back_surface, 33, 20), 0);
    EXPECT_EQ(pixel_at(back_surface, 0, 19), 0);
    EXPECT_EQ(pixel_at(back_surface, 0, 63), 1 + 10);
    EXPECT_EQ(pixel_at(back_surface, 0, 64), 0);

    // Over the top-left corner, and over the bottom-right one.
    gfx_fill_surface(back_surface, 0, nullptr);
    gfx_sprite_set_position(&s, -40, -30);
    ASSERT_EQ(gfx_sprite_draw(&s, back_surface), 1);
    EXPECT_EQ(count_back(0), 640 * 480 - 4 * 14);
    EXPECT_EQ(pixel_at(back_surface, 0, 0), 41);
    EXPECT_EQ(pixel_at(back_surface, 3, 13), 44);

    gfx_fill_surface(back_surface, 0, nullptr);
    gfx_sprite_set_position(&s, 630, 470);
    ASSERT_EQ(gfx_sprite_draw(&s, back_surface), 1);
    EXPECT_EQ(count_back(0), 640 * 480 - 10 * 10);
    EXPECT_EQ(pixel_at(back_surface, 639, 479), 10);

    gfx_fill_surface(back_surface, 0, nullptr);
    gfx_sprite_set_position(&s, -100, 500);
    gfx_sprite_draw(&s, back_surface);
    EXPECT_EQ(count_back(0), 640 * 480);
    gfx_sprite_destroy(&s);
}

TEST_F(Gfx, SharedSpriteDestroyLeavesTheOriginalWorking)
{
    start_display();
    int32_t live = plat_surface_live_count();
    SpriteObject a{}, b{};
    ASSERT_EQ(gfx_sprite_create(&a, 10, 10, 4, 4, 2, 0x12, SYSTEM_MEMORY, 0, 8), 1);
    const int32_t list[] = {0, 1};
    ASSERT_EQ(gfx_sprite_load_anim(&a, 0, 2, list), 1);
    paint_frame(&a, 0, [](int32_t, int32_t) { return 7; });
    EXPECT_EQ(gfx_sprite_share(&a, &a), 0);
    EXPECT_EQ(gfx_sprite_share(nullptr, &b), 0);
    EXPECT_EQ(gfx_sprite_share(&a, nullptr), 0);
    ASSERT_EQ(gfx_sprite_share(&a, &b), 1);
    EXPECT_TRUE(b.attr & SPRITE_ATTR_SHARED);
    EXPECT_FALSE(a.attr & SPRITE_ATTR_SHARED);
    EXPECT_EQ(b.frame_surfaces[1], a.frame_surfaces[1]);
    EXPECT_EQ(b.anims[0], a.anims[0]);
    EXPECT_EQ(plat_surface_live_count(), live + 2);

    ASSERT_EQ(gfx_sprite_destroy(&b), 1);
    EXPECT_EQ(b.frame_surfaces[0], nullptr);
    EXPECT_EQ(b.anims[0], nullptr);
    EXPECT_EQ(plat_surface_live_count(), live + 2) << "the copy releases nothing";
    gfx_fill_surface(back_surface, 0, nullptr);
    ASSERT_EQ(gfx_sprite_draw(&a, back_surface), 1);
    EXPECT_EQ(pixel_at(back_surface, 13, 13), 7);
    a.attr = SPRITE_ATTR_ANIM_LISTS;
    EXPECT_EQ(gfx_sprite_animate(&a), 1);
    EXPECT_EQ(a.frame, 1) << "the list still reads";

    ASSERT_EQ(gfx_sprite_destroy(&a), 1);
    EXPECT_EQ(plat_surface_live_count(), live);
}

TEST_F(Gfx, SpriteMoveWrapsOrBouncesAtTheClipEdges)
{
    start_display();
    SpriteObject s{};
    ASSERT_EQ(gfx_sprite_create(&s, 636, 100, 10, 10, 1, SPRITE_ATTR_WRAP, SYSTEM_MEMORY, 0, 8), 1);
    gfx_sprite_set_velocity(&s, 5, 0);
    gfx_sprite_move(&s);
    EXPECT_FLOAT_EQ(s.x, -10.0f) << "past the right edge: back in from the left";
    gfx_sprite_set_velocity(&s, -1, 0);
    gfx_sprite_move(&s);
    EXPECT_FLOAT_EQ(s.x, 639.0f);

    s.attr = SPRITE_ATTR_BOUNCE;
    gfx_sprite_set_position(&s, 628, 0);
    gfx_sprite_set_velocity(&s, 3, -2);
    gfx_sprite_move(&s);
    EXPECT_FLOAT_EQ(s.x, 631.0f) << "the position is not corrected";
    EXPECT_FLOAT_EQ(s.vx, -3.0f);
    EXPECT_FLOAT_EQ(s.vy, 2.0f);

    // Overlap of the inner boxes: 16 by 16 sprites have half-extents 6.
    SpriteObject t = s;
    t.attr = 0;
    s.width = s.height = t.width = t.height = 16;
    s.x = s.y = t.y = 0;
    t.x = 11.9f;
    EXPECT_EQ(gfx_sprite_overlap(&s, &t), 1);
    t.x = 12.0f;
    EXPECT_EQ(gfx_sprite_overlap(&s, &t), 0);
    EXPECT_EQ(gfx_sprite_overlap(&s, nullptr), 0);
    s.width = t.width = 10;
    gfx_sprite_destroy(&s);
}
