// Whole-file output and the BMP writer shared by the headless capture and the asset generator.
#include "platform/plat_file.h"

#include <cstdio>

int plat_write_file(const char *path, const std::vector<uint8_t> &bytes) {
    if (!path) return 0;
    FILE *fp = std::fopen(path, "wb");
    if (!fp) return 0;
    bool whole = std::fwrite(bytes.data(), 1, bytes.size(), fp) == bytes.size();
    return std::fclose(fp) == 0 && whole ? 1 : 0;
}

int plat_write_bmp8(const char *path, int32_t width, int32_t height, const uint8_t *pixels, int32_t pitch,
                    const PlatColor palette[256]) {
    if (width <= 0 || height <= 0 || pitch < width || !pixels || !palette) return 0;
    const uint32_t stride = (static_cast<uint32_t>(width) + 3u) & ~3u;
    const uint32_t image = stride * static_cast<uint32_t>(height);
    const uint32_t offset = 14 + 40 + 1024;
    std::vector<uint8_t> out;
    out.reserve(offset + image);
    plat_put_le16(out, 0x4D42); // "BM"
    plat_put_le32(out, offset + image);
    plat_put_le32(out, 0);
    plat_put_le32(out, offset);
    plat_put_le32(out, 40);
    plat_put_le32(out, static_cast<uint32_t>(width));
    plat_put_le32(out, static_cast<uint32_t>(height)); // positive: bottom-up rows
    plat_put_le16(out, 1);
    plat_put_le16(out, 8);
    plat_put_le32(out, 0); // BI_RGB
    plat_put_le32(out, image);
    plat_put_le32(out, 2835); // 72 dots per inch
    plat_put_le32(out, 2835);
    plat_put_le32(out, 256);
    plat_put_le32(out, 256);
    for (int i = 0; i < 256; i++) out.insert(out.end(), {palette[i].b, palette[i].g, palette[i].r, 0});
    for (int32_t y = height - 1; y >= 0; y--) {
        const uint8_t *row = pixels + static_cast<size_t>(y) * static_cast<size_t>(pitch);
        out.insert(out.end(), row, row + width);
        out.insert(out.end(), stride - static_cast<uint32_t>(width), 0);
    }
    return plat_write_file(path, out);
}
