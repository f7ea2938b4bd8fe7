// Each character drawn alone gives its stamp; each pair drawn together gives where the second
// one starts. A space has no ink, so its steps are read through a following 'H'.
#include <cstring>
#include <string>

#include "platform/plat_video.h"
#include "tools/webfont/webfont.h"

namespace {

constexpr int32_t CANVAS_W = 160, CANVAS_H = 40, ORIGIN = 24;
constexpr int32_t STEP_MIN = -16, STEP_MAX = 60;

struct Ink {
    uint8_t px[CANVAS_H][CANVAS_W];
};

int32_t render(PlatSurface *s, const std::string &text, Ink *out) {
    plat_surface_fill(s, nullptr, 0);
    if (!plat_draw_text(s, text.c_str(), ORIGIN, 0, 0xFFFFFF)) return 0;
    for (int32_t y = 0; y < CANVAS_H; y++)
        for (int32_t x = 0; x < CANVAS_W; x++) out->px[y][x] = s->pixels[static_cast<size_t>(y) * s->pitch + x] == 1;
    return 1;
}

void stamp(const WebGlyphAtlas *a, int32_t i, int32_t origin, Ink *into) {
    const WebGlyph &g = a->glyphs[i];
    for (int32_t y = 0; y < a->height; y++)
        for (int32_t x = 0; x < g.width; x++) {
            int32_t px = origin + g.left + x;
            if (g.rows[static_cast<size_t>(y) * g.width + x] && px >= 0 && px < CANVAS_W) into->px[y][px] = 1;
        }
}

// The step d for which stamp first at ORIGIN and stamp second at ORIGIN + d draw exactly seen;
// first < 0 stands for nothing before it. -128 when none does.
int32_t find_step(const WebGlyphAtlas *a, int32_t first, int32_t second, const Ink &seen) {
    for (int32_t d = STEP_MIN; d <= STEP_MAX; d++) {
        Ink trial{};
        if (first >= 0) stamp(a, first, ORIGIN, &trial);
        stamp(a, second, ORIGIN + d, &trial);
        if (std::memcmp(&trial, &seen, sizeof trial) == 0) return d;
    }
    return -128;
}

} // namespace

int32_t webfont_measure(WebGlyphAtlas *atlas) {
    PlatColor palette[256] = {};
    palette[1] = PlatColor{255, 255, 255, 0};
    plat_palette_set(0, 256, palette);
    PlatSurface *s = plat_surface_create(CANVAS_W, CANVAS_H, 8);
    if (!s) return 0;
    static Ink alone[WEB_GLYPH_COUNT];
    int32_t ok = 1;
    atlas->height = 0;
    for (int32_t i = 0; i < WEB_GLYPH_COUNT && ok; i++) {
        std::string text(1, static_cast<char>(WEB_GLYPH_FIRST + i));
        ok = render(s, text, &alone[i]);
        for (int32_t y = 0; y < CANVAS_H; y++)
            for (int32_t x = 0; x < CANVAS_W; x++)
                if (alone[i].px[y][x] && y + 1 > atlas->height) atlas->height = y + 1;
        int32_t w = plat_text_width(text.c_str());
        atlas->span[i] = static_cast<uint8_t>(w < 0 ? 0 : w);
    }
    for (int32_t i = 0; i < WEB_GLYPH_COUNT && ok; i++) {
        int32_t lo = CANVAS_W, hi = -1;
        for (int32_t y = 0; y < CANVAS_H; y++)
            for (int32_t x = 0; x < CANVAS_W; x++)
                if (alone[i].px[y][x]) {
                    lo = x < lo ? x : lo;
                    hi = x > hi ? x : hi;
                }
        WebGlyph &g = atlas->glyphs[i];
        g.left = static_cast<int8_t>(hi < 0 ? 0 : lo - ORIGIN);
        g.width = static_cast<uint8_t>(hi < 0 ? 0 : hi - lo + 1);
        g.rows.assign(static_cast<size_t>(g.width) * atlas->height, 0);
        for (int32_t y = 0; y < atlas->height; y++)
            for (int32_t x = 0; x < g.width; x++) g.rows[static_cast<size_t>(y) * g.width + x] = alone[i].px[y][lo + x];
    }
    const int32_t space = ' ' - WEB_GLYPH_FIRST, h = 'H' - WEB_GLYPH_FIRST;
    Ink seen;
    // From a space to anything: that character alone, moved.
    int32_t space_to_h = 0;
    for (int32_t j = 0; j < WEB_GLYPH_COUNT && ok; j++) {
        if (j == space) continue;
        ok = render(s, std::string(" ") + static_cast<char>(WEB_GLYPH_FIRST + j), &seen);
        atlas->step[space][j] = static_cast<int8_t>(find_step(atlas, -1, j, seen));
        if (j == h) space_to_h = atlas->step[space][j];
    }
    for (int32_t i = 0; i < WEB_GLYPH_COUNT && ok; i++) {
        std::string first(1, static_cast<char>(WEB_GLYPH_FIRST + i));
        for (int32_t j = 0; j < WEB_GLYPH_COUNT && ok; j++) {
            int32_t d;
            if (j == space) {
                // Through "a H": the H's place less the step from the space to it.
                ok = render(s, first + " H", &seen);
                d = find_step(atlas, i == space ? -1 : i, h, seen);
                d = d == -128 ? d : d - space_to_h;
            } else if (i == space) {
                continue;
            } else {
                ok = render(s, first + static_cast<char>(WEB_GLYPH_FIRST + j), &seen);
                d = find_step(atlas, i, j, seen);
            }
            if (d == -128) ok = 0;
            atlas->step[i][j] = static_cast<int8_t>(d);
        }
    }
    plat_surface_release(s);
    return ok;
}
