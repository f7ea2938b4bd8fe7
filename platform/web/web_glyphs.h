// The game font as a glyph atlas: per printable character its ink stamp and its advance in 64ths
// of a pixel, taken from the native text renderer at build time (tools/webfont). The renderer
// sets glyph after glyph, each at its pen position rounded down plus its own left offset, the pen
// moving by the advances without kerning; the native tests hold the atlas to that renderer.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

constexpr uint8_t WEB_GLYPH_FIRST = 32;
constexpr int32_t WEB_GLYPH_COUNT = 95; // ' ' to '~'

struct WebGlyph {
    int8_t left;               // first ink column, from its pen position
    uint8_t width;             // ink columns
    int8_t reach;              // where the renderer takes the glyph to end, from its pen position
    int16_t advance;           // the pen's move, 1/64 px
    std::vector<uint8_t> rows; // height rows of width bytes, 1 = ink
};

struct WebGlyphAtlas {
    int32_t height; // rows of every stamp, from the text's top
    WebGlyph glyphs[WEB_GLYPH_COUNT];
};

// File layout: "QWFC", height, then per glyph left, width, reach, advance (16 bits, low byte
// first) and rows.
std::vector<uint8_t> web_glyphs_encode(const WebGlyphAtlas *atlas);
// 1, or 0 for a short, overlong or foreign file.
int32_t web_glyphs_decode(const uint8_t *data, size_t size, WebGlyphAtlas *out);

// Calls ink(x, y) for every ink pixel of text drawn with its top-left at (x, y); characters
// outside the atlas draw as '?'.
void web_glyphs_draw(const WebGlyphAtlas *atlas, const char *text, int32_t x, int32_t y,
                     void (*ink)(int32_t x, int32_t y, void *context), void *context);
// Width of the text as the native renderer sizes it; 0 for "".
int32_t web_glyphs_width(const WebGlyphAtlas *atlas, const char *text);
