// Full-screen transitions: palette fades and closing wipes.
#pragma once
#include <cstdint>

constexpr uint32_t TRANSITION_FADE_BLACK = 0;
constexpr uint32_t TRANSITION_FADE_WHITE = 1;
constexpr uint32_t TRANSITION_CLOSE_SIDES = 2;
constexpr uint32_t TRANSITION_CLOSE_TOP_BOTTOM = 3;
constexpr uint32_t TRANSITION_DISSOLVE = 4;
constexpr uint32_t TRANSITION_CLOSE_ALL = 5;
constexpr uint32_t TRANSITION_FADE_BLUE = 6;
constexpr uint32_t TRANSITION_FADE_RED = 7;
constexpr uint32_t TRANSITION_FADE_GREEN = 8;

void gfx_screen_transition(uint32_t effect, uint8_t *memory, int32_t pitch);
// quit: fade to black with null memory; runs the whole effect before returning.
void gfx_draw_hline8(int32_t x1, int32_t x2, int32_t y, uint8_t colour, uint8_t *memory, int32_t pitch);
void gfx_draw_vline8(int32_t y1, int32_t y2, int32_t x, uint8_t colour, uint8_t *memory, int32_t pitch);
void gfx_draw_hline16(int32_t x1, int32_t x2, int32_t y, uint16_t colour, uint16_t *memory, int32_t pitch);
void gfx_draw_vline16(int32_t y1, int32_t y2, int32_t x, uint16_t colour, uint16_t *memory, int32_t pitch);
void gfx_fill_words16(uint16_t *dest, uint16_t value, int32_t count);
