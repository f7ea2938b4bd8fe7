// Each character drawn alone by the native renderer gives its stamp; FreeType, on the same font
// file at the same size and hinting, gives its advance (as the renderer's shaper reads it) and
// its box. A glyph whose box starts left of the pen shifts a line drawn from it by as much, so
// its stamp's left offset is taken back by that.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_ADVANCES_H

#include <string>

#include "platform/plat_video.h"
#include "tools/webfont/webfont.h"

namespace {

constexpr int32_t CANVAS_W = 64, CANVAS_H = 40, ORIGIN = 24;
constexpr int32_t POINT_SIZE = 12; // the native renderer's
constexpr FT_Int32 LOAD_FLAGS = FT_LOAD_DEFAULT | FT_LOAD_TARGET_LIGHT;

int32_t floor_px(FT_Pos v) { return static_cast<int32_t>(v >= 0 ? v / 64 : -((63 - v) / 64)); }
int32_t ceil_px(FT_Pos v) { return floor_px(v + 63); }

// The ink of c drawn alone at ORIGIN into g (rows of every canvas line); the lowest inked row + 1.
int32_t stamp(PlatSurface *s, char c, WebGlyph *g) {
    plat_surface_fill(s, nullptr, 0);
    if (!plat_draw_text(s, std::string(1, c).c_str(), ORIGIN, 0, 0xFFFFFF)) return -1;
    auto ink = [s](int32_t x, int32_t y) { return s->pixels[static_cast<size_t>(y) * s->pitch + x] == 1; };
    int32_t lo = CANVAS_W, hi = -1, bottom = 0;
    for (int32_t y = 0; y < CANVAS_H; y++)
        for (int32_t x = 0; x < CANVAS_W; x++)
            if (ink(x, y)) {
                lo = x < lo ? x : lo;
                hi = x > hi ? x : hi;
                bottom = y + 1;
            }
    *g = WebGlyph{0, 0, 0, 0, {}};
    if (hi < 0) return 0;
    g->left = static_cast<int8_t>(lo - ORIGIN);
    g->width = static_cast<uint8_t>(hi - lo + 1);
    g->rows.assign(static_cast<size_t>(g->width) * CANVAS_H, 0);
    for (int32_t y = 0; y < CANVAS_H; y++)
        for (int32_t x = 0; x < g->width; x++) g->rows[static_cast<size_t>(y) * g->width + x] = ink(lo + x, y);
    return bottom;
}

} // namespace

int32_t webfont_measure(WebGlyphAtlas *atlas) {
    FT_Library lib;
    if (FT_Init_FreeType(&lib)) return 0;
    FT_Face face;
    if (FT_New_Face(lib, plat_font_file(), 0, &face)) {
        FT_Done_FreeType(lib);
        return 0;
    }
    PlatColor palette[256] = {};
    palette[1] = PlatColor{255, 255, 255, 0};
    plat_palette_set(0, 256, palette);
    PlatSurface *s = plat_surface_create(CANVAS_W, CANVAS_H, 8);
    int32_t ok = s && FT_Set_Char_Size(face, 0, POINT_SIZE * 64, 0, 0) == 0;
    atlas->height = 0;
    for (int32_t i = 0; i < WEB_GLYPH_COUNT && ok; i++) {
        WebGlyph &g = atlas->glyphs[i];
        int32_t bottom = stamp(s, static_cast<char>(WEB_GLYPH_FIRST + i), &g);
        FT_UInt id = FT_Get_Char_Index(face, WEB_GLYPH_FIRST + static_cast<FT_ULong>(i));
        FT_Fixed advance = 0;
        ok = bottom >= 0 && FT_Get_Advance(face, id, LOAD_FLAGS, &advance) == 0 &&
             FT_Load_Glyph(face, id, LOAD_FLAGS) == 0;
        if (!ok) break;
        atlas->height = bottom > atlas->height ? bottom : atlas->height;
        g.advance = static_cast<int16_t>((advance + (1 << 9)) >> 10); // 16.16 to 26.6
        const FT_Glyph_Metrics &m = face->glyph->metrics;
        g.reach = static_cast<int8_t>(ceil_px(m.horiBearingX + m.width));
        if (floor_px(m.horiBearingX) < 0) g.left = static_cast<int8_t>(g.left + floor_px(m.horiBearingX));
    }
    for (WebGlyph &g : atlas->glyphs) g.rows.resize(static_cast<size_t>(g.width) * atlas->height);
    plat_surface_release(s);
    FT_Done_Face(face);
    FT_Done_FreeType(lib);
    return ok;
}
