// Polygons, trig tables, rasterisers, matrices and small geometric helpers.
#pragma once
#include <cstdint>
#include "gfx/bitmap.h"
#include "platform/plat_video.h"

struct Vertex2F {
    float x, y;
};

struct PolygonShape {
    int32_t state;
    int32_t vertex_count;
    int32_t x, y;
    int32_t vx, vy;
    uint32_t colour;
    Vertex2F *vertices; // owned by the caller
};

extern float sin_table[361];
extern float cos_table[361];

// Start-up, once, before any rotation.
void gfx_build_trig_tables(void);
// Play frames: turret lines into the locked back buffer.
int32_t gfx_draw_polygon8(const PolygonShape *polygon, uint8_t *memory, int32_t pitch);
int32_t gfx_draw_polygon16(const PolygonShape *polygon, uint16_t *memory, int32_t pitch);
// Aiming: +1 or -1 degree per frame.
int32_t gfx_rotate_polygon(PolygonShape *polygon, int32_t angle);
int32_t gfx_affine_init(float matrix[6], float m00, float m01, float m10, float m11, float m20, float m21);
int32_t gfx_affine_apply(const float point[2], const float matrix[6], float result[2]);
int32_t gfx_translate_polygon(PolygonShape *polygon, int32_t dx, int32_t dy);
int32_t gfx_translate_polygon_matrix(PolygonShape *polygon, int32_t dx, int32_t dy);
int32_t gfx_rotate_polygon_direct(PolygonShape *polygon, int32_t angle);
int32_t gfx_scale_polygon(PolygonShape *polygon, float sx, float sy);
int32_t gfx_scale_polygon_matrix(PolygonShape *polygon, float sx, float sy);
int32_t gfx_polygon_extent(const PolygonShape *polygon, float *min_x, float *max_x, float *min_y, float *max_y);
int32_t gfx_matrix3_multiply(const float a[9], const float b[9], float result[9]);
int32_t gfx_row3_multiply(const float row[3], const float matrix[9], float result[3]);
// Filled triangles, cut to the clip rectangle: split at the middle corner into two flat halves.
int32_t gfx_fill_triangle8(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3, uint8_t colour,
                           uint8_t *memory, int32_t pitch);
int32_t gfx_fill_triangle8_fixed(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3, uint8_t colour,
                                 uint8_t *memory, int32_t pitch);
int32_t gfx_fill_triangle16(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3, uint16_t colour,
                            uint16_t *memory, int32_t pitch);
// The flat halves (corners 1 and 2 on the top edge, or 2 and 3 on the bottom one): y2 of a flat top
// and y3 of a flat bottom mean nothing, the flat edge lying at y1 or y2. 0 for a half of no height.
int32_t gfx_fill_flat_top_triangle8(float x1, float y1, float x2, float y2, float x3, float y3, uint8_t colour,
                                    uint8_t *memory, int32_t pitch);
int32_t gfx_fill_flat_bottom_triangle8(float x1, float y1, float x2, float y2, float x3, float y3, uint8_t colour,
                                       uint8_t *memory, int32_t pitch);
int32_t gfx_fill_flat_top_triangle16(float x1, float y1, float x2, float y2, float x3, float y3, uint16_t colour,
                                     uint16_t *memory, int32_t pitch);
int32_t gfx_fill_flat_bottom_triangle16(float x1, float y1, float x2, float y2, float x3, float y3, uint16_t colour,
                                        uint16_t *memory, int32_t pitch);
int32_t gfx_fill_flat_top_triangle8_fixed(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3,
                                          uint8_t colour, uint8_t *memory, int32_t pitch);
int32_t gfx_fill_flat_bottom_triangle8_fixed(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3,
                                             uint8_t colour, uint8_t *memory, int32_t pitch);
int32_t gfx_fill_polygon8(const PolygonShape *polygon, uint8_t *memory, int32_t pitch);
int32_t gfx_fill_polygon16(const PolygonShape *polygon, uint16_t *memory, int32_t pitch);
int32_t gfx_approx_distance2(int32_t dx, int32_t dy);
float gfx_approx_distance3(float x, float y, float z);
int32_t gfx_boxes_overlap(int32_t x1, int32_t y1, int32_t w1, int32_t h1, int32_t x2, int32_t y2, int32_t w2,
                          int32_t h2);
int32_t gfx_rect_has_colour8(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint8_t low, uint8_t high,
                             const uint8_t *memory, int32_t pitch);
int32_t gfx_rect_has_colour16(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint16_t colour_a, uint16_t colour_b,
                              const uint16_t *memory, int32_t pitch);
int32_t gfx_bitmap_cell_to_surface(const BmpFile *bitmap, PlatSurface *surface, int32_t cx, int32_t cy);
