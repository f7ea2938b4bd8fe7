// The web build's glyph atlas, measured from the native text renderer.
#pragma once
#include "platform/web/web_glyphs.h"

// Fills atlas from plat_draw_text on the headless backend (its palette is changed); 1, or 0 when
// the renderer has no font or a pair of characters does not fit the atlas's model.
int32_t webfont_measure(WebGlyphAtlas *atlas);
