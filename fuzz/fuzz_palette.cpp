// Text palette file reader.
#include "fuzz/fuzz_common.h"
#include "gfx/palette.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string path = fuzz_write_input(data, size, ".PAL");
    PaletteEntry entries[256] = {};
    gfx_palette_load_file(path.c_str(), entries);
    return 0;
}
