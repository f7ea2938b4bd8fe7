// Text in the page from the glyph atlas measured off the native renderer at build time, so the
// words look as they do in the desktop game.
#include <cstdio>
#include <vector>

#include "platform/plat_internal.h"
#include "platform/web/web_glyphs.h"

namespace {

constexpr const char *ATLAS_FILE = "webfont.qwf";
WebGlyphAtlas atlas;
int32_t atlas_state = 0; // 0 not read yet, 1 ready, -1 missing or bad

const WebGlyphAtlas *game_atlas(void) {
    if (atlas_state == 0) {
        atlas_state = -1;
        std::vector<uint8_t> bytes;
        if (FILE *fp = std::fopen(ATLAS_FILE, "rb")) {
            uint8_t buf[4096];
            size_t n;
            while ((n = std::fread(buf, 1, sizeof buf, fp)) > 0) bytes.insert(bytes.end(), buf, buf + n);
            std::fclose(fp);
        }
        if (web_glyphs_decode(bytes.data(), bytes.size(), &atlas))
            atlas_state = 1;
        else
            plat_set_error("the glyph atlas webfont.qwf is missing or damaged");
    }
    return atlas_state == 1 ? &atlas : nullptr;
}

struct InkTarget {
    PlatSurface *surface;
    uint32_t ink;
};

void put_ink(int32_t x, int32_t y, void *context) {
    auto *t = static_cast<InkTarget *>(context);
    PlatSurface *s = t->surface;
    if (x < 0 || y < 0 || x >= s->width || y >= s->height) return;
    if (s->clip_enabled) {
        bool inside = false;
        for (const PlatRect &r : s->clip) inside = inside || (x >= r.left && x < r.right && y >= r.top && y < r.bottom);
        if (!inside) return;
    }
    uint8_t *row = s->pixels.data() + static_cast<size_t>(y) * s->pitch;
    if (s->bpp == 8) {
        row[x] = static_cast<uint8_t>(t->ink);
    } else {
        row[2 * x] = static_cast<uint8_t>(t->ink);
        row[2 * x + 1] = static_cast<uint8_t>(t->ink >> 8);
    }
}

} // namespace

const char *plat_font_file(void) { return ATLAS_FILE; }

void plat_text_shutdown(void) {}

int plat_text_width(const char *text) {
    const WebGlyphAtlas *a = game_atlas();
    if (!a || !text) return -1;
    return web_glyphs_width(a, text);
}

int plat_draw_text(PlatSurface *surface, const char *text, int32_t x, int32_t y, uint32_t colorref) {
    if (!surface || !text || surface->locked) return 0;
    if (!*text || plat_blind) return 1;
    const WebGlyphAtlas *a = game_atlas();
    if (!a) return 0;
    surface->writes++;
    InkTarget target{surface, static_cast<uint32_t>(plat_palette_nearest(colorref))};
    if (surface->bpp == 16) {
        const PlatColor &c = plat_palette_data()[target.ink];
        target.ink = plat_rgb565(c.r, c.g, c.b);
    }
    web_glyphs_draw(a, text, x, y, put_ink, &target);
    return 1;
}
