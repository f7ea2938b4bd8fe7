// quorvane_assetgen <outdir>: writes every asset file of the game into outdir.
// quorvane_assetgen --icons <outdir>: writes the desktop icons instead.
#include <cstdio>
#include <string>

#include "tools/assetgen/assetgen.h"

namespace {

void usage(FILE *f) {
    std::fprintf(f, "Usage: quorvane_assetgen [--icons] OUTDIR\n"
                    "Writes every asset file of Quorvane (pictures, palette, sounds, music) into OUTDIR,\n"
                    "byte for byte the same on every run; with --icons, the desktop icons instead.\n"
                    "\n"
                    "  --icons     write the icons\n"
                    "  -h, --help  show this help and exit\n");
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        usage(stdout);
        return 0;
    }
    int icons = argc == 3 && std::string(argv[1]) == "--icons";
    // An option where the folder goes is a slip, not a folder to write into.
    if ((argc != 2 && !icons) || argv[argc - 1][0] == '-') {
        usage(stderr);
        return 2;
    }
    std::string dir = argv[argc - 1];
    if (!dir.empty() && dir.back() != '/') dir += '/';
    gen_build_palette();
    if (icons) {
        if (gen_make_icons(dir)) return 0;
        std::fprintf(stderr, "quorvane_assetgen: could not write the icons into %s\n", argv[2]);
        return 1;
    }
    int ok = gen_write_palette(dir + GAME_FILE_PALETTE);
    ok &= gen_make_pictures(dir);
    ok &= gen_make_sounds(dir);
    ok &= gen_make_music(dir);
    if (!ok) {
        std::fprintf(stderr, "quorvane_assetgen: could not write every file into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
