// The web build's glyph atlas, measured from the native text renderer.
#pragma once
#include "platform/web/web_glyphs.h"

// Fills atlas from plat_draw_text on the headless backend (its palette is changed) and from
// FreeType over the same font file; 1, or 0 when there is no font or a glyph cannot be read.
int32_t webfont_measure(WebGlyphAtlas *atlas);
