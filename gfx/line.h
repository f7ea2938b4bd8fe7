// Pixels, clipped lines and rectangle fills.
#pragma once
#include <cstdint>
#include "platform/plat_video.h"

constexpr int32_t CLIP_CODE_LEFT = 1, CLIP_CODE_RIGHT = 2, CLIP_CODE_BELOW = 4, CLIP_CODE_ABOVE = 8;

int32_t gfx_plot_pixel8(int32_t x, int32_t y, uint8_t colour, uint8_t *memory, int32_t pitch);
// particles and the dissolve: caller keeps (x, y) inside the locked memory.
int32_t gfx_plot_pixel16(int32_t x, int32_t y, uint16_t colour, uint16_t *memory, int32_t pitch);
int32_t gfx_clip_line(int32_t *x0, int32_t *y0, int32_t *x1, int32_t *y1);
int32_t gfx_draw_line8(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint8_t colour, uint8_t *memory, int32_t pitch);
int32_t gfx_draw_line16(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint16_t colour, uint16_t *memory,
                        int32_t pitch);
int32_t gfx_draw_clipped_line8(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint8_t colour, uint8_t *memory,
                               int32_t pitch);
// polygon outlines.
int32_t gfx_draw_clipped_line16(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint16_t colour, uint16_t *memory,
                                int32_t pitch);
int32_t gfx_fill_rect_blit(int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t colour,
                           PlatSurface *dest);
// the shot's 2x2 mark: right and bottom exclusive, clipped by the surface's list.
