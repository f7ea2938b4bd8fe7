// quorvane_webref ASSETDIR OUT.ppm: the game's first picture on the headless backend, as the
// desktop game shows it, for the browser tests to hold the page's first picture against.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "game/game.h"
#include "platform/plat_headless.h"
#include "platform/plat_system.h"

namespace {

std::string first_picture;

void keep_first(void) {
    if (!first_picture.empty()) return;
    int32_t w = plat_headless_frame_width(), h = plat_headless_frame_height();
    first_picture = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    for (int32_t y = 0; y < h; y++)
        for (int32_t x = 0; x < w; x++) {
            uint32_t rgb = plat_headless_frame_rgb(x, y);
            first_picture += static_cast<char>(rgb >> 16);
            first_picture += static_cast<char>(rgb >> 8);
            first_picture += static_cast<char>(rgb);
        }
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: quorvane_webref ASSETDIR OUT.ppm\n");
        return 2;
    }
    std::string out = argv[2];
    if (out[0] != '/') out = std::string(getcwd(nullptr, 0)) + "/" + out;
    if (chdir(argv[1]) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    plat_headless_reset();
    if (!plat_init() || !plat_window_open("Quorvane", 640, 480, 0)) return 1;
    plat_headless_on_present(keep_first);
    game_init();
    for (int i = 0; i < 10 && first_picture.empty(); i++) game_frame();
    game_shutdown();
    plat_shutdown();
    FILE *fp = std::fopen(out.c_str(), "wb");
    if (!fp || first_picture.empty()) return 1;
    bool whole = std::fwrite(first_picture.data(), 1, first_picture.size(), fp) == first_picture.size();
    return std::fclose(fp) == 0 && whole ? 0 : 1;
}
