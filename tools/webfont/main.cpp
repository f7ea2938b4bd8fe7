// quorvane_webfont FILE: writes the glyph atlas the web build draws its text from.
#include <cstdio>

#include "platform/plat_file.h"
#include "tools/webfont/webfont.h"

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: quorvane_webfont FILE\n");
        return 2;
    }
    static WebGlyphAtlas atlas;
    if (!webfont_measure(&atlas)) {
        std::fprintf(stderr, "quorvane_webfont: the game font could not be measured into an atlas\n");
        return 1;
    }
    if (!plat_write_file(argv[1], web_glyphs_encode(&atlas))) {
        std::fprintf(stderr, "quorvane_webfont: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
