// Sprite objects: frames from picture cells, animation, keyed and cut draws, sharing, moving.
#include "gfx_fixture.h"

#include <vector>

#include "gfx/polygon.h"
#include "gfx/sprite.h"

namespace {

constexpr uint32_t SYSTEM_MEMORY = 2048;
using V = std::vector<int32_t>;

template <typename F>
void paint_frame(SpriteObject *s, int32_t frame, F value) {
    PlatSurface *surf = s->frame_surfaces[frame];
    for (int32_t y = 0; y < s->height; y++)
        for (int32_t x = 0; x < s->width; x++)
            surf->pixels[static_cast<size_t>(y) * surf->pitch + x] = static_cast<uint8_t>(value(x, y));
}

V frames_shown(SpriteObject *s, int ticks) {
    V out;
    for (int i = 0; i < ticks; i++) {
        gfx_sprite_animate(s);
        out.push_back(s->frame);
    }
    return out;
}

int count_back(uint8_t colour) { return count_colour(back_surface, colour); }

} // namespace

TEST_F(Gfx, SpriteCreateMakesItsFramesAndDestroyReleasesThem) {
    start_display();
    int32_t live = plat_surface_live_count();
    SpriteObject s{};
    EXPECT_EQ(gfx_sprite_create(&s, 1, 2, 8, 8, 65, 0x12, SYSTEM_MEMORY, 0, 8), 0) << "at most 64 frames";
    EXPECT_EQ(plat_surface_live_count(), live);
    s.int_vars[0] = 17;
    ASSERT_EQ(gfx_sprite_create(&s, -3, 7, 44, 40, 64, 0x12, SYSTEM_MEMORY, 0, 8), 1);
    EXPECT_EQ(plat_surface_live_count(), live + 64);
    EXPECT_EQ(s.attr, 0x12u);
    EXPECT_EQ(std::make_pair(s.x, s.y), std::make_pair(-3.0f, 7.0f));
    EXPECT_EQ(s.int_vars[0], 17) << "the owner's variables are left alone";
    EXPECT_EQ(std::make_pair(s.frame_surfaces[63]->width, s.frame_surfaces[63]->height), std::make_pair(44, 40));
    EXPECT_EQ(gfx_sprite_destroy(&s), 1);
    EXPECT_EQ(plat_surface_live_count(), live);
    SpriteObject zero{};
    EXPECT_EQ(gfx_sprite_destroy(&zero), 1);
}

// Cell (c, r) of a w by h frame starts at (c * (w + 1) + 1, r * (h + 1) + 1); mode 1 takes pixels.
TEST_F(Gfx, SpriteFramesComeFromGridCellsWithZerosOutsideThePicture) {
    start_display();
    BmpFile f{};
    auto value = [](int32_t x, int32_t y) { return (x + 3 * y) % 250 + 1; };
    make_picture8(&f, 180, 100, value);
    SpriteObject s{};
    ASSERT_EQ(gfx_sprite_create(&s, 0, 0, 44, 44, 4, 0x12, SYSTEM_MEMORY, 0, 8), 1);
    ASSERT_EQ(gfx_sprite_load_frame(&s, &f, 0, 3, 1, 0), 1);
    ASSERT_EQ(gfx_sprite_load_frame(&s, &f, 1, 0, 0, 0), 1);
    ASSERT_EQ(gfx_sprite_load_frame(&s, &f, 2, 20, 30, 1), 1);
    ASSERT_EQ(gfx_sprite_load_frame(&s, &f, 3, 160, 0, 1), 1);
    const struct { int frame, sx, sy; } expect[] = {{0, 136, 46}, {1, 1, 1}, {2, 20, 30}, {3, 160, 0}};
    for (auto e : expect)
        for (int32_t y = 0; y < 44; y++)
            for (int32_t x = 0; x < 44; x++)
                ASSERT_EQ(pixel_at(s.frame_surfaces[e.frame], x, y), e.sx + x < 180 ? value(e.sx + x, e.sy + y) : 0)
                    << "frame " << e.frame << " at " << x << "," << y;
    EXPECT_EQ(gfx_sprite_load_frame(&s, &f, 1, 5, 0, 0), 0) << "wholly outside";
    EXPECT_EQ(pixel_at(s.frame_surfaces[1], 0, 0), 0);
    PlatSurface *cell = gfx_create_surface(44, 44, 0, 0);
    ASSERT_EQ(gfx_bitmap_cell_to_surface(&f, cell, 3, 1), 1);
    EXPECT_EQ(pixel_at(cell, 43, 43), value(179, 89));
    plat_surface_release(cell);
    gfx_sprite_destroy(&s);
    gfx_bmp_unload(&f);
}

TEST_F(Gfx, SpriteAnimationModes) {
    start_display();
    SpriteObject s{};
    ASSERT_EQ(gfx_sprite_create(&s, 0, 0, 4, 4, 7, 0x12, SYSTEM_MEMORY, 0, 8), 1);
    gfx_sprite_set_anim_speed(&s, 1);
    EXPECT_EQ(frames_shown(&s, 9), (V{1, 2, 3, 4, 5, 6, 0, 1, 2}));
    s.frame = 0;
    gfx_sprite_set_anim_speed(&s, 3);
    EXPECT_EQ(frames_shown(&s, 9), (V{0, 0, 1, 1, 1, 2, 2, 2, 3}));
    s.attr |= SPRITE_ATTR_FIXED_FRAME;
    EXPECT_EQ(frames_shown(&s, 2), (V{0, 0})) << "the fixed frame wins over cycling";
    s.attr = SPRITE_ATTR_ANIM_LISTS | SPRITE_ATTR_VISIBLE;
    const int32_t loop[] = {2, 5, 6}, once[] = {2, 5};
    ASSERT_EQ(gfx_sprite_load_anim(&s, 0, 3, loop), 1);
    ASSERT_EQ(gfx_sprite_load_anim(&s, 1, 2, once), 1);
    EXPECT_EQ(gfx_sprite_load_anim(&s, 16, 2, once), 0);
    gfx_sprite_set_anim_speed(&s, 1);
    gfx_sprite_set_anim(&s, 0);
    EXPECT_EQ(frames_shown(&s, 7), (V{5, 6, 2, 5, 6, 2, 5}));
    s.attr |= SPRITE_ATTR_ANIM_ONCE;
    gfx_sprite_set_anim(&s, 1);
    EXPECT_EQ(frames_shown(&s, 4), (V{5, 5, 5, 5}));
    EXPECT_EQ(s.anim_state, 1) << "played once";
    gfx_sprite_destroy(&s);
}

TEST_F(Gfx, SpriteDrawIsKeyedCutAtTheScreenAndOnlyWhenVisible) {
    start_display();
    SpriteObject s{};
    ASSERT_EQ(gfx_sprite_create(&s, 100, 50, 4, 2, 1, 0x02, SYSTEM_MEMORY, 0, 8), 1);
    paint_frame(&s, 0, [](int32_t x, int32_t y) { return ((x + y) % 2) ? 0 : 1 + x; }); // 1 0 3 0 / 0 2 0 4
    gfx_fill_surface(back_surface, 9, nullptr);
    EXPECT_EQ(gfx_sprite_draw(&s, back_surface), 1) << "hidden: success, nothing drawn";
    EXPECT_EQ(count_back(9), 640 * 480);
    gfx_sprite_show(&s);
    ASSERT_EQ(gfx_sprite_draw(&s, back_surface), 1);
    EXPECT_EQ(std::vector<int>({pixel_at(back_surface, 100, 50), pixel_at(back_surface, 101, 50),
                                pixel_at(back_surface, 102, 50), pixel_at(back_surface, 101, 51)}),
              std::vector<int>({1, 9, 3, 2}));
    EXPECT_EQ(count_back(9), 640 * 480 - 4);
    gfx_sprite_destroy(&s);
    ASSERT_EQ(gfx_sprite_create(&s, 0, 0, 44, 44, 1, 0x12, SYSTEM_MEMORY, 0, 8), 1);
    paint_frame(&s, 0, [](int32_t x, int32_t) { return 1 + x; });
    const struct {
        float x, y;
        int shown, corner_x, corner_y, corner;
    } cases[] = {{-10.5f, 20.0f, 33 * 44, 0, 20, 11},
                 {-40, -30, 4 * 14, 0, 0, 41},
                 {630, 470, 100, 639, 479, 10},
                 {-100, 500, 0, 0, 0, 0}};
    for (const auto &c : cases) {
        gfx_fill_surface(back_surface, 0, nullptr);
        s.x = c.x;
        s.y = c.y;
        ASSERT_EQ(gfx_sprite_draw(&s, back_surface), 1);
        EXPECT_EQ(640 * 480 - count_back(0), c.shown) << c.x << "," << c.y;
        EXPECT_EQ(pixel_at(back_surface, c.corner_x, c.corner_y), c.corner) << c.x << "," << c.y;
    }
    gfx_sprite_destroy(&s);
}

TEST_F(Gfx, SpriteMoveWrapsOrBouncesAtTheClipEdgesAndOverlapUsesInnerBoxes) {
    start_display();
    SpriteObject s{};
    ASSERT_EQ(gfx_sprite_create(&s, 636, 100, 10, 10, 1, SPRITE_ATTR_WRAP, SYSTEM_MEMORY, 0, 8), 1);
    gfx_sprite_set_velocity(&s, 5, 0);
    gfx_sprite_move(&s);
    EXPECT_EQ(s.x, -10.0f) << "past the right edge: back in from the left";
    gfx_sprite_set_velocity(&s, -1, 0);
    gfx_sprite_move(&s);
    EXPECT_EQ(s.x, 639.0f);
    s.attr = SPRITE_ATTR_BOUNCE;
    gfx_sprite_set_position(&s, 628, 0);
    gfx_sprite_set_velocity(&s, 3, -2);
    gfx_sprite_move(&s);
    EXPECT_EQ(s.x, 631.0f) << "the position is not corrected";
    EXPECT_EQ(std::make_pair(s.vx, s.vy), std::make_pair(-3.0f, 2.0f));
    SpriteObject t = s;
    s.width = s.height = t.width = t.height = 16;
    s.x = s.y = t.y = 0;
    t.x = 11.9f;
    EXPECT_EQ(gfx_sprite_overlap(&s, &t), 1);
    t.x = 12.0f;
    EXPECT_EQ(gfx_sprite_overlap(&s, &t), 0);
    s.width = t.width = 10;
    gfx_sprite_destroy(&s);
}
