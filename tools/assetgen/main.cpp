// quorvane_assetgen <outdir>: writes every asset file of the game into outdir.
#include <cstdio>
#include <string>

#include "tools/assetgen/assetgen.h"

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: quorvane_assetgen <outdir>\n");
        return 2;
    }
    std::string dir = argv[1];
    if (!dir.empty() && dir.back() != '/') dir += '/';
    gen_build_palette();
    int ok = gen_write_palette(dir + "PALDATA2.PAL");
    ok &= gen_make_pictures(dir);
    ok &= gen_make_sounds(dir);
    ok &= gen_make_music(dir);
    if (!ok) {
        std::fprintf(stderr, "quorvane_assetgen: could not write every file into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
