// The game font as a glyph atlas: one ink stamp per printable character and the step from each
// character to the next, measured from the native text renderer at build time (tools/webfont).
// Pure C++, so the native tests check it against the renderer it was measured from.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

constexpr uint8_t WEB_GLYPH_FIRST = 32;
constexpr int32_t WEB_GLYPH_COUNT = 95; // ' ' to '~'

struct WebGlyph {
    int8_t left;               // first ink column, from the character's own origin
    uint8_t width;             // ink columns
    std::vector<uint8_t> rows; // height rows of width bytes, 1 = ink
};

struct WebGlyphAtlas {
    int32_t height; // rows of every stamp, from the text's top
    WebGlyph glyphs[WEB_GLYPH_COUNT];
    int8_t step[WEB_GLYPH_COUNT][WEB_GLYPH_COUNT]; // origin of the next character, from this one's
    uint8_t span[WEB_GLYPH_COUNT];                 // width of the character alone
};

// File layout: "QWFA", height, then per glyph left, width and its rows, then the steps and spans.
std::vector<uint8_t> web_glyphs_encode(const WebGlyphAtlas *atlas);
// 1, or 0 for a short or foreign file (out then holds nothing usable).
int32_t web_glyphs_decode(const uint8_t *data, size_t size, WebGlyphAtlas *out);

// Calls ink(x, y) for every ink pixel of text drawn with its top-left at (x, y); characters
// outside the atlas draw as '?'.
void web_glyphs_draw(const WebGlyphAtlas *atlas, const char *text, int32_t x, int32_t y,
                     void (*ink)(int32_t x, int32_t y, void *context), void *context);
// Width of the text as the native renderer sizes it; 0 for "".
int32_t web_glyphs_width(const WebGlyphAtlas *atlas, const char *text);
