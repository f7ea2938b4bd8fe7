// Multi-frame sprite objects drawn by keyed blits.
#pragma once
#include <cstdint>
#include "gfx/bitmap.h"
#include "platform/plat_video.h"

constexpr int32_t SPRITE_MAX_FRAMES = 64;
constexpr int32_t SPRITE_MAX_ANIMS = 16;

constexpr uint32_t SPRITE_ATTR_FIXED_FRAME = 0x01;
constexpr uint32_t SPRITE_ATTR_FRAME_CYCLE = 0x02;
constexpr uint32_t SPRITE_ATTR_ANIM_LISTS = 0x04;
constexpr uint32_t SPRITE_ATTR_ANIM_ONCE = 0x08;
constexpr uint32_t SPRITE_ATTR_VISIBLE = 0x10;
constexpr uint32_t SPRITE_ATTR_BOUNCE = 0x20;
constexpr uint32_t SPRITE_ATTR_WRAP = 0x40;
constexpr uint32_t SPRITE_ATTR_HAS_FRAMES = 0x80;
constexpr uint32_t SPRITE_ATTR_SHARED = 0x100;

struct SpriteObject {
    int32_t state;
    int32_t anim_state;
    uint32_t attr;
    float x, y;
    float vx, vy;
    int32_t width, height;
    int32_t width_pad;
    int32_t bits_per_pixel;
    int32_t counters[4];
    int32_t int_vars[16];
    float float_vars[16];
    int32_t frame;
    int32_t frame_count;
    int32_t anim;
    int32_t anim_tick;
    int32_t anim_pos;
    int32_t anim_ticks_per_frame;
    int32_t *anims[SPRITE_MAX_ANIMS];
    PlatSurface *frame_surfaces[SPRITE_MAX_FRAMES];
};

// Start-up (ships) and round set-up (bodies); 0 on failure or frame_count above 64. memory_flags
// means nothing here: every frame lives in plain memory.
int32_t gfx_sprite_create(SpriteObject *sprite, int32_t x, int32_t y, int32_t width, int32_t height,
                          int32_t frame_count, uint32_t attr, uint32_t memory_flags, int32_t colour_key,
                          int32_t bits_per_pixel);
// Before re-creating a record and at shutdown; accepts an all-zero record.
int32_t gfx_sprite_destroy(SpriteObject *sprite);
int32_t gfx_sprite_load_frame(SpriteObject *sprite, const BmpFile *bitmap, int32_t frame, int32_t cx, int32_t cy,
                              int32_t mode);
int32_t gfx_sprite_load_frame16(SpriteObject *sprite, const BmpFile *bitmap, int32_t frame, int32_t cx, int32_t cy,
                                int32_t mode);
int32_t gfx_sprite_set_anim_speed(SpriteObject *sprite, int32_t ticks_per_frame);
// Once per frame per body.
int32_t gfx_sprite_animate(SpriteObject *sprite);
// Every frame: keyed blit clipped by the destination's clip list.
int32_t gfx_sprite_draw(SpriteObject *sprite, PlatSurface *dest);
int32_t gfx_sprite_draw_scaled(SpriteObject *sprite, int32_t width, int32_t height, PlatSurface *dest);
int32_t gfx_sprite_draw16(SpriteObject *sprite, PlatSurface *dest);
int32_t gfx_sprite_draw_scaled16(SpriteObject *sprite, int32_t width, int32_t height, PlatSurface *dest);
int32_t gfx_sprite_share(const SpriteObject *source, SpriteObject *dest);
int32_t gfx_sprite_move(SpriteObject *sprite);
int32_t gfx_sprite_load_anim(SpriteObject *sprite, int32_t index, int32_t count, const int32_t *frames);
int32_t gfx_sprite_set_anim(SpriteObject *sprite, int32_t index);
int32_t gfx_sprite_set_position(SpriteObject *sprite, int32_t x, int32_t y);
int32_t gfx_sprite_set_velocity(SpriteObject *sprite, int32_t vx, int32_t vy);
int32_t gfx_sprite_hide(SpriteObject *sprite);
int32_t gfx_sprite_show(SpriteObject *sprite);
int32_t gfx_sprite_overlap(const SpriteObject *a, const SpriteObject *b);
