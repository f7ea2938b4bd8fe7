// The glyph atlas: its file and drawing a line from it.
#include "platform/web/web_glyphs.h"

#include <algorithm>
#include <cstring>

namespace {

const WebGlyph &glyph_of(const WebGlyphAtlas *atlas, char c) {
    auto u = static_cast<uint8_t>(c);
    if (u < WEB_GLYPH_FIRST || u >= WEB_GLYPH_FIRST + WEB_GLYPH_COUNT) u = '?';
    return atlas->glyphs[u - WEB_GLYPH_FIRST];
}

// Whole pixels of a pen position in 64ths, rounded down.
int32_t whole(int32_t pen) { return pen >= 0 ? pen / 64 : -((63 - pen) / 64); }

} // namespace

std::vector<uint8_t> web_glyphs_encode(const WebGlyphAtlas *atlas) {
    std::vector<uint8_t> out = {'Q', 'W', 'F', 'C', static_cast<uint8_t>(atlas->height)};
    for (const WebGlyph &g : atlas->glyphs) {
        out.push_back(static_cast<uint8_t>(g.left));
        out.push_back(g.width);
        out.push_back(static_cast<uint8_t>(g.reach));
        out.push_back(static_cast<uint8_t>(g.advance));
        out.push_back(static_cast<uint8_t>(static_cast<uint16_t>(g.advance) >> 8));
        out.insert(out.end(), g.rows.begin(), g.rows.end());
    }
    return out;
}

int32_t web_glyphs_decode(const uint8_t *data, size_t size, WebGlyphAtlas *out) {
    if (!data || size < 5 || std::memcmp(data, "QWFC", 4) != 0) return 0;
    out->height = data[4];
    size_t at = 5;
    for (WebGlyph &g : out->glyphs) {
        if (at + 5 > size) return 0;
        g.left = static_cast<int8_t>(data[at]);
        g.width = data[at + 1];
        g.reach = static_cast<int8_t>(data[at + 2]);
        g.advance = static_cast<int16_t>(data[at + 3] | (data[at + 4] << 8));
        at += 5;
        size_t bytes = static_cast<size_t>(g.width) * static_cast<size_t>(out->height);
        if (at + bytes > size) return 0;
        g.rows.assign(data + at, data + at + bytes);
        at += bytes;
    }
    return at == size ? 1 : 0;
}

void web_glyphs_draw(const WebGlyphAtlas *atlas, const char *text, int32_t x, int32_t y,
                     void (*ink)(int32_t x, int32_t y, void *context), void *context) {
    int32_t pen = 0;
    for (const char *c = text; *c; c++) {
        const WebGlyph &g = glyph_of(atlas, *c);
        int32_t left = x + whole(pen) + g.left;
        for (int32_t gy = 0; gy < atlas->height; gy++)
            for (int32_t gx = 0; gx < g.width; gx++)
                if (g.rows[static_cast<size_t>(gy) * g.width + gx]) ink(left + gx, y + gy, context);
        pen += g.advance;
    }
}

int32_t web_glyphs_width(const WebGlyphAtlas *atlas, const char *text) {
    // From the leftmost ink (or the origin) to the furthest glyph end or where the pen stops.
    if (!*text) return 0;
    int32_t pen = 0, lo = 0, hi = 0;
    for (const char *c = text; *c; c++) {
        const WebGlyph &g = glyph_of(atlas, *c);
        if (g.width) {
            lo = std::min(lo, whole(pen) + g.left);
            hi = std::max(hi, whole(pen) + g.reach);
        }
        pen += g.advance;
    }
    return std::max(hi, whole(pen)) - lo;
}
