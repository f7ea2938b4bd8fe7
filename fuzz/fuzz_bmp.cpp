// BMP loader, then an image and a sprite frame cut from whatever it accepted.
#include "fuzz/fuzz_common.h"
#include "game/game_files.h"
#include "gfx/bitmap.h"
#include "gfx/display.h"
#include "gfx/sprite.h"
#include "platform/plat_system.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    plat_window_open("fuzz", 640, 480, 0);
    gfx_display_init(640, 480, 8, 1, GAME_FILE_PALETTE);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string path = fuzz_write_input(data, size, ".BMP");
    static BmpFile bmp;
    if (gfx_bmp_load(&bmp, path.c_str())) {
        PixelImage image{};
        if (gfx_image_create(&image, 0, 0, 22, 18, 8)) {
            gfx_image_load8(&image, &bmp, 1, 1, 0);
            gfx_image_load8(&image, &bmp, 3, 2, 1);
            gfx_image_destroy(&image);
        }
        SpriteObject sprite{};
        if (gfx_sprite_create(&sprite, 0, 0, 44, 44, 2, 0x12, 0x800, 0, 8)) {
            gfx_sprite_load_frame(&sprite, &bmp, 0, 0, 0, 0);
            gfx_sprite_load_frame(&sprite, &bmp, 1, 8, 1, 0);
            gfx_sprite_draw(&sprite, back_surface);
        }
        gfx_sprite_destroy(&sprite);
    }
    gfx_bmp_unload(&bmp);
    return 0;
}
