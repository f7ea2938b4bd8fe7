// Palette: shadow copy, device entries, text palette files, rotation, blinking.
#pragma once
#include <cstdint>

struct PaletteEntry {
    uint8_t red, green, blue, flags;
};

constexpr uint8_t PC_EXPLICIT = 2;
constexpr uint8_t PC_NOCOLLAPSE = 4;

struct PaletteBlinker {
    int32_t index;
    PaletteEntry on_colour;
    PaletteEntry off_colour;
    int32_t on_time;
    int32_t off_time;
    int32_t counter;
    int32_t state;
};

constexpr int32_t PALETTE_BLINKER_COUNT = 256;
constexpr int32_t BLINK_FREE = 0, BLINK_OFF = -1, BLINK_ON = 1;
constexpr int32_t PALETTE_BLINK_ADD = 0, PALETTE_BLINK_REMOVE = 1, PALETTE_BLINK_UPDATE = 2, PALETTE_BLINK_RUN = 3;

extern PaletteEntry palette_shadow[256];

int32_t gfx_palette_set_entry(int32_t index, const PaletteEntry *entry);
int32_t gfx_palette_get_entry(int32_t index, PaletteEntry *out);
int32_t gfx_palette_set_all(const PaletteEntry *entries);
// start-up (picture palettes) and transitions.
int32_t gfx_palette_get_all(PaletteEntry *out);
// transitions.
int32_t gfx_palette_load_file(const char *name, PaletteEntry *entries);
// display init with the game's palette file; 0 if the file cannot be opened.
int32_t gfx_palette_save_file(const char *name, const PaletteEntry *entries);
// the asset generator; 0 if the file cannot be created.
int32_t gfx_palette_rotate(int32_t first, int32_t last);
int32_t gfx_palette_blink(int32_t command, const PaletteBlinker *blinker, int32_t slot);
