// The glyph atlas: its file and drawing a line from it.
#include "platform/web/web_glyphs.h"

namespace {

int32_t index_of(char c) {
    auto u = static_cast<uint8_t>(c);
    if (u < WEB_GLYPH_FIRST || u >= WEB_GLYPH_FIRST + WEB_GLYPH_COUNT) u = '?';
    return u - WEB_GLYPH_FIRST;
}

} // namespace

std::vector<uint8_t> web_glyphs_encode(const WebGlyphAtlas *atlas) {
    std::vector<uint8_t> out = {'Q', 'W', 'F', 'A', static_cast<uint8_t>(atlas->height)};
    for (const WebGlyph &g : atlas->glyphs) {
        out.push_back(static_cast<uint8_t>(g.left));
        out.push_back(g.width);
        out.insert(out.end(), g.rows.begin(), g.rows.end());
    }
    for (const auto &row : atlas->step)
        for (int8_t s : row) out.push_back(static_cast<uint8_t>(s));
    out.insert(out.end(), atlas->span, atlas->span + WEB_GLYPH_COUNT);
    return out;
}

int32_t web_glyphs_decode(const uint8_t *data, size_t size, WebGlyphAtlas *out) {
    if (!data || size < 5 || data[0] != 'Q' || data[1] != 'W' || data[2] != 'F' || data[3] != 'A') return 0;
    size_t at = 5;
    out->height = data[4];
    for (WebGlyph &g : out->glyphs) {
        if (at + 2 > size) return 0;
        g.left = static_cast<int8_t>(data[at]);
        g.width = data[at + 1];
        at += 2;
        size_t bytes = static_cast<size_t>(g.width) * static_cast<size_t>(out->height);
        if (at + bytes > size) return 0;
        g.rows.assign(data + at, data + at + bytes);
        at += bytes;
    }
    if (at + WEB_GLYPH_COUNT * WEB_GLYPH_COUNT + WEB_GLYPH_COUNT != size) return 0;
    for (auto &row : out->step)
        for (int8_t &s : row) s = static_cast<int8_t>(data[at++]);
    for (uint8_t &s : out->span) s = data[at++];
    return 1;
}

void web_glyphs_draw(const WebGlyphAtlas *atlas, const char *text, int32_t x, int32_t y,
                     void (*ink)(int32_t x, int32_t y, void *context), void *context) {
    int32_t origin = x;
    for (const char *c = text; *c; c++) {
        int32_t i = index_of(*c);
        const WebGlyph &g = atlas->glyphs[i];
        for (int32_t gy = 0; gy < atlas->height; gy++)
            for (int32_t gx = 0; gx < g.width; gx++)
                if (g.rows[static_cast<size_t>(gy) * g.width + gx]) ink(origin + g.left + gx, y + gy, context);
        if (c[1]) origin += atlas->step[i][index_of(c[1])];
    }
}

int32_t web_glyphs_width(const WebGlyphAtlas *atlas, const char *text) {
    if (!*text) return 0;
    int32_t origin = 0;
    const char *c = text;
    for (; c[1]; c++) origin += atlas->step[index_of(*c)][index_of(c[1])];
    return origin + atlas->span[index_of(*c)];
}
