// The game's files: the start-up report of those missing, and the one loader of its pictures
// (start-up's ships and backdrops, each round's bodies).
#include <unistd.h>

#include <cstdio>
#include <string>

#include "game/game.h"
#include "game/game_internal.h"
#include "gfx/bitmap.h"

BmpFile shared_bitmap;

int32_t game_report_missing_files(void) {
    std::string missing;
    int32_t count = 0;
    for (const char *name : GAME_FILES) {
        if (access(name, R_OK) == 0) continue;
        missing += count++ ? ", " : "";
        missing += name;
    }
    if (count == 0) return 0;
    char folder[4096];
    const char *where = getcwd(folder, sizeof folder) ? folder : ".";
    // The game still starts: every loader copes with its own file being absent.
    std::fprintf(stderr, "quorvane: %s %s missing from %s (the game's files are read from the working folder)\n",
                 missing.c_str(), count == 1 ? "is" : "are", where);
    return count;
}

int32_t game_load_picture(const char *name) {
    if (!gfx_bmp_load(&shared_bitmap, name)) return 0;
    return shared_bitmap.pixels != nullptr && shared_bitmap.info_header.biBitCount == 8;
}
