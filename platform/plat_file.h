// Files the project writes itself: captured frames and generated assets.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/plat_video.h"

// Appends v as 2 bytes, low byte first.
inline void plat_put_le16(std::vector<uint8_t> &out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
// Appends v as 4 bytes, low byte first.
inline void plat_put_le32(std::vector<uint8_t> &out, uint32_t v) {
    plat_put_le16(out, v & 0xFFFF);
    plat_put_le16(out, v >> 16);
}
// Appends v as 4 bytes, high byte first.
inline void plat_put_be32(std::vector<uint8_t> &out, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(v >> s));
}

// Creates or replaces the file with these bytes; 1, or 0 when it cannot be written whole.
int plat_write_file(const char *path, const std::vector<uint8_t> &bytes);

// An uncompressed 8-bit BMP of width by height palette indices (rows top first, pitch bytes apart)
// with its 256 colours: bottom row first, rows padded to four bytes, every size field filled in.
// 1, or 0 for a bad size, no pixels or palette, or a file that cannot be written.
int plat_write_bmp8(const char *path, int32_t width, int32_t height, const uint8_t *pixels, int32_t pitch,
                    const PlatColor palette[256]);
