// Sprite objects: up to 64 frames in platform surfaces, drawn by one keyed blit.
#include <cstdlib>
#include <cstring>

#include "gfx/display.h"
#include "gfx/sprite.h"

int32_t gfx_sprite_create(SpriteObject *sprite, int32_t x, int32_t y, int32_t width, int32_t height,
                          int32_t frame_count, uint32_t attr, uint32_t memory_flags, int32_t colour_key,
                          int32_t bits_per_pixel) {
    (void)memory_flags; // every surface lives in system memory here
    // A count past the surface table would write beyond the record.
    if (!sprite || frame_count < 0 || frame_count > SPRITE_MAX_FRAMES) return 0;
    sprite->state = 1;
    sprite->attr = attr;
    sprite->frame_count = frame_count;
    sprite->bits_per_pixel = bits_per_pixel;
    sprite->anim_state = 0;
    std::memset(sprite->counters, 0, sizeof sprite->counters);
    sprite->frame = 0;
    sprite->anim = sprite->anim_tick = sprite->anim_pos = sprite->anim_ticks_per_frame = 0;
    sprite->x = static_cast<float>(x);
    sprite->y = static_cast<float>(y);
    sprite->vx = sprite->vy = 0.0f;
    sprite->width = width;
    sprite->height = height;
    for (PlatSurface *&s : sprite->frame_surfaces) s = nullptr;
    for (int32_t *&a : sprite->anims) a = nullptr;
    if (!display_started) return 0;
    for (int32_t i = 0; i < frame_count; i++) {
        PlatSurface *s = plat_surface_create(width + sprite->width_pad, height, bits_per_pixel);
        if (!s) return 0;
        plat_surface_set_color_key(s, static_cast<uint32_t>(colour_key) & 0xFFFF,
                                   static_cast<uint32_t>(colour_key) & 0xFFFF);
        sprite->frame_surfaces[i] = s;
    }
    return 1;
}

int32_t gfx_sprite_destroy(SpriteObject *sprite) {
    if (!sprite) return 0;
    bool shared = sprite->attr & SPRITE_ATTR_SHARED;
    for (PlatSurface *&s : sprite->frame_surfaces) {
        if (s && !shared) plat_surface_release(s);
        s = nullptr;
    }
    for (int32_t *&a : sprite->anims) {
        if (a && !shared) std::free(a);
        a = nullptr;
    }
    return 1;
}

static int32_t load_frame(SpriteObject *sprite, const BmpFile *bitmap, int32_t frame, int32_t cx, int32_t cy,
                          int32_t mode, int32_t bytes) {
    if (!sprite || frame < 0 || frame >= SPRITE_MAX_FRAMES) return 0;
    PlatSurface *s = sprite->frame_surfaces[frame];
    if (!s) return 0;
    int32_t px = mode == 0 ? cx * (sprite->width + 1) + 1 : cx;
    int32_t py = mode == 0 ? cy * (sprite->height + 1) + 1 : cy;
    int32_t pitch = 0;
    uint8_t *memory = plat_surface_lock(s, &pitch);
    if (bytes == 2) pitch &= ~1;
    int32_t width = sprite->width < s->width ? sprite->width : s->width;
    int32_t copied = gfx_bmp_copy_cell(bitmap, px, py, width, sprite->height < s->height ? sprite->height : s->height,
                                       bytes, memory, pitch);
    plat_surface_unlock(s);
    sprite->attr |= SPRITE_ATTR_HAS_FRAMES;
    return copied;
}

int32_t gfx_sprite_load_frame(SpriteObject *sprite, const BmpFile *bitmap, int32_t frame, int32_t cx, int32_t cy,
                              int32_t mode) {
    return load_frame(sprite, bitmap, frame, cx, cy, mode, 1);
}

int32_t gfx_sprite_load_frame16(SpriteObject *sprite, const BmpFile *bitmap, int32_t frame, int32_t cx, int32_t cy,
                                int32_t mode) {
    return load_frame(sprite, bitmap, frame, cx, cy, mode, 2);
}

int32_t gfx_sprite_set_anim_speed(SpriteObject *sprite, int32_t ticks_per_frame) {
    if (!sprite) return 0;
    sprite->anim_ticks_per_frame = ticks_per_frame;
    return 1;
}

int32_t gfx_sprite_animate(SpriteObject *sprite) {
    if (!sprite) return 0;
    if (sprite->attr & SPRITE_ATTR_FIXED_FRAME) {
        sprite->frame = 0;
    } else if (sprite->attr & SPRITE_ATTR_FRAME_CYCLE) {
        if (++sprite->anim_tick >= sprite->anim_ticks_per_frame) {
            sprite->anim_tick = 0;
            if (++sprite->frame >= sprite->frame_count) sprite->frame = 0;
        }
    } else if (sprite->attr & SPRITE_ATTR_ANIM_LISTS) {
        const int32_t *list =
            sprite->anim >= 0 && sprite->anim < SPRITE_MAX_ANIMS ? sprite->anims[sprite->anim] : nullptr;
        if (!list) return 1; // no list loaded: nothing to step through
        if (++sprite->anim_tick >= sprite->anim_ticks_per_frame) {
            sprite->anim_tick = 0;
            sprite->anim_pos++;
            sprite->frame = list[sprite->anim_pos];
            if (sprite->frame == -1) {
                if (sprite->attr & SPRITE_ATTR_ANIM_ONCE) {
                    sprite->anim_state = 1;
                    sprite->anim_pos--;
                    sprite->frame = list[sprite->anim_pos];
                } else {
                    sprite->anim_pos = 0;
                    sprite->frame = list[0];
                }
            }
        }
    }
    return 1;
}

static int32_t draw(SpriteObject *sprite, int32_t width, int32_t height, PlatSurface *dest) {
    if (!sprite) return 0;
    if (!(sprite->attr & SPRITE_ATTR_VISIBLE)) return 1;
    if (sprite->frame < 0 || sprite->frame >= SPRITE_MAX_FRAMES || !sprite->frame_surfaces[sprite->frame]) return 0;
    PlatRect dst{static_cast<int32_t>(sprite->x), static_cast<int32_t>(sprite->y),
                 static_cast<int32_t>(static_cast<float>(width) + sprite->x),
                 static_cast<int32_t>(static_cast<float>(height) + sprite->y)};
    PlatRect src{0, 0, sprite->width, sprite->height};
    return plat_surface_blit(dest, &dst, sprite->frame_surfaces[sprite->frame], &src, 1);
}

int32_t gfx_sprite_draw(SpriteObject *sprite, PlatSurface *dest) {
    return sprite ? draw(sprite, sprite->width, sprite->height, dest) : 0;
}

int32_t gfx_sprite_draw_scaled(SpriteObject *sprite, int32_t width, int32_t height, PlatSurface *dest) {
    return draw(sprite, width, height, dest);
}

int32_t gfx_sprite_draw16(SpriteObject *sprite, PlatSurface *dest) { return gfx_sprite_draw(sprite, dest); }

int32_t gfx_sprite_draw_scaled16(SpriteObject *sprite, int32_t width, int32_t height, PlatSurface *dest) {
    return draw(sprite, width, height, dest);
}

int32_t gfx_sprite_share(const SpriteObject *source, SpriteObject *dest) {
    if (!source || !dest || source == dest) return 0;
    *dest = *source;
    dest->attr |= SPRITE_ATTR_SHARED;
    return 1;
}

int32_t gfx_sprite_move(SpriteObject *sprite) {
    if (!sprite) return 0;
    sprite->x += sprite->vx;
    sprite->y += sprite->vy;
    if (sprite->attr & SPRITE_ATTR_WRAP) {
        if (sprite->x > clip_max_x)
            sprite->x = static_cast<float>(clip_min_x - sprite->width);
        else if (sprite->x < clip_min_x - sprite->width)
            sprite->x = static_cast<float>(clip_max_x);
        if (sprite->y > clip_max_y)
            sprite->y = static_cast<float>(clip_min_y - sprite->height);
        else if (sprite->y < clip_min_y - sprite->height)
            sprite->y = static_cast<float>(clip_max_y);
    } else if (sprite->attr & SPRITE_ATTR_BOUNCE) {
        if (sprite->x > clip_max_x - sprite->width || sprite->x < clip_min_x) sprite->vx = -sprite->vx;
        if (sprite->y > clip_max_y - sprite->height || sprite->y < clip_min_y) sprite->vy = -sprite->vy;
    }
    return 1;
}

int32_t gfx_sprite_load_anim(SpriteObject *sprite, int32_t index, int32_t count, const int32_t *frames) {
    if (!sprite || index < 0 || index >= SPRITE_MAX_ANIMS || count < 0 || (count > 0 && !frames)) return 0;
    int32_t *list = static_cast<int32_t *>(std::malloc(sizeof(int32_t) * static_cast<size_t>(count + 1)));
    if (!list) return 0;
    if (count) std::memcpy(list, frames, sizeof(int32_t) * static_cast<size_t>(count));
    list[count] = -1;
    if (sprite->anims[index] && !(sprite->attr & SPRITE_ATTR_SHARED)) std::free(sprite->anims[index]);
    sprite->anims[index] = list;
    return 1;
}

int32_t gfx_sprite_set_anim(SpriteObject *sprite, int32_t index) {
    if (!sprite) return 0;
    sprite->anim = index;
    sprite->anim_pos = 0;
    return 1;
}

int32_t gfx_sprite_set_position(SpriteObject *sprite, int32_t x, int32_t y) {
    if (!sprite) return 0;
    sprite->x = static_cast<float>(x);
    sprite->y = static_cast<float>(y);
    return 1;
}

int32_t gfx_sprite_set_velocity(SpriteObject *sprite, int32_t vx, int32_t vy) {
    if (!sprite) return 0;
    sprite->vx = static_cast<float>(vx);
    sprite->vy = static_cast<float>(vy);
    return 1;
}

int32_t gfx_sprite_hide(SpriteObject *sprite) {
    if (!sprite) return 0;
    sprite->attr &= ~SPRITE_ATTR_VISIBLE;
    return 1;
}

int32_t gfx_sprite_show(SpriteObject *sprite) {
    if (!sprite) return 0;
    sprite->attr |= SPRITE_ATTR_VISIBLE;
    return 1;
}

int32_t gfx_sprite_overlap(const SpriteObject *a, const SpriteObject *b) {
    if (!a || !b) return 0;
    int32_t rwa = (a->width >> 1) - (a->width >> 3), rha = (a->height >> 1) - (a->height >> 3);
    int32_t rwb = (b->width >> 1) - (b->width >> 3), rhb = (b->height >> 1) - (b->height >> 3);
    int32_t ax = static_cast<int32_t>(a->x + static_cast<float>(rwa)),
            ay = static_cast<int32_t>(a->y + static_cast<float>(rha));
    int32_t bx = static_cast<int32_t>(b->x + static_cast<float>(rwb)),
            by = static_cast<int32_t>(b->y + static_cast<float>(rhb));
    return std::abs(ax - bx) < rwa + rwb && std::abs(ay - by) < rha + rhb ? 1 : 0;
}
