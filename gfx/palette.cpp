// Palette: the shadow of the 256 colours last set, the device entries, text
// palette files, colour rotation and the blink manager.
#include "gfx/palette.h"

#include <cstdio>
#include <cstring>

#include "gfx/display.h"
#include "platform/plat_video.h"

PaletteEntry palette_shadow[256];

static_assert(sizeof(PaletteEntry) == sizeof(PlatColor), "palette entries share the platform's layout");

namespace {

PaletteBlinker blinkers[PALETTE_BLINKER_COUNT];
int blinkers_ready = 0;

bool valid_index(int32_t index) { return index >= 0 && index < 256; }

// The device palette only exists once the display has set it up; before that
// only the shadow changes.
void device_set(int32_t first, int32_t count, const PaletteEntry *entries) {
    if (!display_palette || count <= 0) return;
    plat_palette_set(first, count, reinterpret_cast<const PlatColor *>(entries));
}

void device_get(int32_t first, int32_t count, PaletteEntry *out) {
    plat_palette_get(first, count, reinterpret_cast<PlatColor *>(out));
}

void show_blinker_colour(const PaletteBlinker &b, const PaletteEntry &colour) {
    if (valid_index(b.index)) device_set(b.index, 1, &colour);
}

} // namespace

int32_t gfx_palette_set_entry(int32_t index, const PaletteEntry *entry) {
    if (!valid_index(index) || !entry) return 0;
    device_set(index, 1, entry);
    palette_shadow[index] = *entry;
    return 1;
}

int32_t gfx_palette_get_entry(int32_t index, PaletteEntry *out) {
    if (!valid_index(index) || !out) return 0;
    *out = palette_shadow[index];
    return 1;
}

int32_t gfx_palette_set_all(const PaletteEntry *entries) {
    if (!entries) return 0;
    std::memmove(palette_shadow, entries, sizeof palette_shadow);
    device_set(0, 256, palette_shadow);
    return 1;
}

int32_t gfx_palette_get_all(PaletteEntry *out) {
    if (!out) return 0;
    std::memmove(out, palette_shadow, sizeof palette_shadow);
    return 1;
}

int32_t gfx_palette_load_file(const char *name, PaletteEntry *entries) {
    if (!name || !entries) return 0;
    FILE *f = std::fopen(name, "r");
    if (!f) return 0;
    for (int i = 0; i < 256; i++) {
        int v[4];
        int got = std::fscanf(f, "%d %d %d %d", &v[0], &v[1], &v[2], &v[3]);
        // A short or broken file keeps whatever it did not supply.
        if (got < 1) break;
        uint8_t *bytes = &entries[i].red;
        for (int k = 0; k < got; k++) bytes[k] = static_cast<uint8_t>(v[k] & 0xFF);
        if (got < 4) break;
    }
    std::fclose(f);
    return 1;
}

int32_t gfx_palette_save_file(const char *name, const PaletteEntry *entries) {
    if (!name || !entries) return 0;
    FILE *f = std::fopen(name, "w");
    if (!f) return 0;
    for (int i = 0; i < 256; i++) {
        const PaletteEntry &e = entries[i];
        std::fprintf(f, "\n%d %d %d %d", e.red, e.green, e.blue, e.flags);
    }
    // A full disk must not pass for a saved palette.
    int failed = std::ferror(f);
    if (std::fclose(f) != 0) failed = 1;
    return failed ? 0 : 1;
}

int32_t gfx_palette_rotate(int32_t first, int32_t last) {
    if (!valid_index(first) || !valid_index(last) || first > last) return 0;
    int32_t count = last - first + 1;
    PaletteEntry work[256];
    if (!display_palette) {
        // No device yet: the shadow is the only palette there is.
        std::memcpy(work, &palette_shadow[first], sizeof(PaletteEntry) * count);
        std::memcpy(&palette_shadow[first + 1], work, sizeof(PaletteEntry) * (count - 1));
        palette_shadow[first] = work[count - 1];
        return 1;
    }
    device_get(first, count, work);
    device_set(first + 1, count - 1, work);
    device_set(first, 1, &work[count - 1]);
    // The device keeps colours only: the flags turn with their colours, the rest stay as set.
    uint8_t flags[256];
    for (int32_t i = 0; i < 256; i++) flags[i] = palette_shadow[i].flags;
    device_get(0, 256, palette_shadow);
    for (int32_t i = 0; i < 256; i++) {
        int32_t from = i < first || i > last ? i : i == first ? last : i - 1;
        palette_shadow[i].flags = flags[from];
    }
    return 1;
}

int32_t gfx_palette_blink(int32_t command, const PaletteBlinker *blinker, int32_t slot) {
    if (!blinkers_ready) {
        std::memset(blinkers, 0, sizeof blinkers);
        blinkers_ready = 1;
    }
    bool slot_ok = slot >= 0 && slot < PALETTE_BLINKER_COUNT;
    switch (command) {
    case PALETTE_BLINK_ADD:
        if (!blinker) return -1;
        for (int32_t i = 0; i < PALETTE_BLINKER_COUNT; i++) {
            if (blinkers[i].state != BLINK_FREE) continue;
            blinkers[i] = *blinker;
            blinkers[i].counter = 0;
            blinkers[i].state = BLINK_OFF;
            show_blinker_colour(blinkers[i], blinkers[i].off_colour);
            return i;
        }
        return -1;
    case PALETTE_BLINK_REMOVE:
        if (!slot_ok || blinkers[slot].state == BLINK_FREE) return -1;
        std::memset(&blinkers[slot], 0, sizeof blinkers[slot]);
        return slot;
    case PALETTE_BLINK_UPDATE: {
        if (!slot_ok || !blinker || blinkers[slot].state == BLINK_FREE) return -1;
        PaletteBlinker &b = blinkers[slot];
        b.on_colour = blinker->on_colour;
        b.off_colour = blinker->off_colour;
        b.on_time = blinker->on_time;
        b.off_time = blinker->off_time;
        show_blinker_colour(b, b.state == BLINK_OFF ? b.off_colour : b.on_colour);
        return slot;
    }
    case PALETTE_BLINK_RUN:
        for (PaletteBlinker &b : blinkers) {
            if (b.state == BLINK_OFF) {
                if (++b.counter >= b.off_time) {
                    b.counter = 0;
                    b.state = BLINK_ON;
                    show_blinker_colour(b, b.on_colour);
                }
            } else if (b.state == BLINK_ON) {
                if (++b.counter >= b.on_time) {
                    b.counter = 0;
                    b.state = BLINK_OFF;
                    show_blinker_colour(b, b.off_colour);
                }
            }
        }
        return 1;
    default: return 1;
    }
}
