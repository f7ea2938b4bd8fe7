// Text in the game font (DejaVu Sans Condensed Bold 12 pt, light hinting, no antialiasing), drawn
// as ink pixels only in the palette entry nearest to the requested colour.
#include <SDL_ttf.h>
#include <fontconfig/fontconfig.h>
#include <sys/stat.h>

#include <string>

#include "platform/plat_internal.h"

static TTF_Font *font = nullptr;
static int font_failed = 0;
static const char *FONT_FALLBACK = "/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed-Bold.ttf";

static bool file_exists(const std::string &path) {
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0;
}

static std::string find_font_file(void) {
    // Where Debian puts it: fontconfig's set-up costs tens of milliseconds and megabytes at start.
    std::string path = FONT_FALLBACK;
    if (file_exists(path)) return path;
    if (FcInit()) {
        FcPattern *pat = FcNameParse(reinterpret_cast<const FcChar8 *>("DejaVu Sans Condensed:style=Bold"));
        FcConfigSubstitute(nullptr, pat, FcMatchPattern);
        FcDefaultSubstitute(pat);
        FcResult result;
        FcPattern *match = FcFontMatch(nullptr, pat, &result);
        if (match) {
            FcChar8 *file = nullptr;
            if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file &&
                std::string(reinterpret_cast<const char *>(file)).find("DejaVuSansCondensed-Bold") != std::string::npos)
                path = reinterpret_cast<const char *>(file);
            FcPatternDestroy(match);
        }
        FcPatternDestroy(pat);
    }
    return path; // the Debian path when fontconfig has nothing better
}

const char *plat_font_file(void) {
    static const std::string path = find_font_file();
    return path.c_str();
}

static TTF_Font *game_font(void) {
    if (font || font_failed) return font;
    if (!TTF_WasInit() && TTF_Init() != 0) {
        font_failed = 1;
        plat_set_error(TTF_GetError());
        return nullptr;
    }
    font = TTF_OpenFont(plat_font_file(), 12);
    if (!font) {
        font_failed = 1;
        plat_set_error(TTF_GetError());
        return nullptr;
    }
    // The font's own hints put the dots of i and j on the stem's top row at 12 px; the light
    // hinter snaps heights only, and keeps a clear row between dot and stem.
    TTF_SetFontHinting(font, TTF_HINTING_LIGHT);
    return font;
}

// Lines rendered lately, kept for reuse: the menus and the status line draw the same text every
// frame, and shaping it again each time was a sixth of the title menu's work.
struct RenderedLine {
    std::string text;
    SDL_Surface *glyphs;
};
constexpr size_t KEPT_LINES = 32;
static RenderedLine kept_lines[KEPT_LINES];
static size_t next_kept_line = 0;

static SDL_Surface *rendered_line(TTF_Font *f, const char *text) {
    for (const RenderedLine &line : kept_lines)
        if (line.glyphs && line.text == text) return line.glyphs;
    SDL_Surface *glyphs = TTF_RenderText_Solid(f, text, SDL_Color{255, 255, 255, 255});
    if (!glyphs) return nullptr;
    RenderedLine &slot = kept_lines[next_kept_line];
    next_kept_line = (next_kept_line + 1) % KEPT_LINES;
    if (slot.glyphs) SDL_FreeSurface(slot.glyphs);
    slot = RenderedLine{text, glyphs};
    return glyphs;
}

void plat_text_shutdown(void) {
    for (RenderedLine &line : kept_lines) {
        if (line.glyphs) SDL_FreeSurface(line.glyphs);
        line = RenderedLine{};
    }
    if (font) TTF_CloseFont(font);
    font = nullptr;
    font_failed = 0;
    if (TTF_WasInit()) TTF_Quit();
}

int plat_text_width(const char *text) {
    TTF_Font *f = game_font();
    if (!f || !text) return -1;
    int w = 0, h = 0;
    if (!*text) return 0;
    if (TTF_SizeText(f, text, &w, &h) != 0) return -1;
    return w;
}

static bool inside_clip(const PlatSurface *s, int32_t x, int32_t y) {
    if (x < 0 || y < 0 || x >= s->width || y >= s->height) return false;
    if (!s->clip_enabled) return true;
    for (const PlatRect &r : s->clip)
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return true;
    return false;
}

int plat_draw_text(PlatSurface *surface, const char *text, int32_t x, int32_t y, uint32_t colorref) {
    if (!surface || !text || surface->locked) return 0;
    if (!*text || plat_blind) return 1;
    TTF_Font *f = game_font();
    if (!f) return 0;
    SDL_Surface *glyphs = rendered_line(f, text);
    if (!glyphs) {
        plat_set_error(TTF_GetError());
        return 0;
    }
    surface->writes++;
    uint32_t ink = static_cast<uint32_t>(plat_palette_nearest(colorref));
    if (surface->bpp == 16) {
        const PlatColor &c = plat_palette_data()[ink];
        ink = plat_rgb565(c.r, c.g, c.b);
    }
    SDL_LockSurface(glyphs);
    for (int gy = 0; gy < glyphs->h; gy++) {
        const uint8_t *row = static_cast<const uint8_t *>(glyphs->pixels) + gy * glyphs->pitch;
        for (int gx = 0; gx < glyphs->w; gx++) {
            if (!row[gx] || !inside_clip(surface, x + gx, y + gy)) continue;
            uint8_t *dst = surface->pixels.data() + static_cast<size_t>(y + gy) * surface->pitch;
            if (surface->bpp == 8)
                dst[x + gx] = static_cast<uint8_t>(ink);
            else {
                dst[2 * (x + gx)] = static_cast<uint8_t>(ink);
                dst[2 * (x + gx) + 1] = static_cast<uint8_t>(ink >> 8);
            }
        }
    }
    SDL_UnlockSurface(glyphs);
    return 1;
}
