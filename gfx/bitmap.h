// BMP files and pixel images.
#pragma once
#include <cstdint>
#include "gfx/palette.h"

constexpr uint16_t BMP_MAGIC = 0x4D42;
constexpr int32_t BMP_MAX_DIMENSION = 16384;
constexpr uint32_t IMAGE_LOADED = 0x80;

struct BmpFileHeader {
    uint16_t bfType;
    uint32_t bfSize;
    uint16_t bfReserved1;
    uint16_t bfReserved2;
    uint32_t bfOffBits;
};

struct BmpInfoHeader {
    uint32_t biSize;
    int32_t biWidth;
    int32_t biHeight;
    uint16_t biPlanes;
    uint16_t biBitCount;
    uint32_t biCompression;
    uint32_t biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
};

struct BmpFile {
    BmpFileHeader file_header;
    BmpInfoHeader info_header;
    PaletteEntry palette[256];
    uint8_t *pixels; // owned; top row first; null when nothing is loaded
};

struct PixelImage {
    int32_t state;
    uint32_t attributes;
    int32_t x, y;
    int32_t width, height;
    int32_t size;
    int32_t bpp;
    uint8_t *buffer; // owned
};

// Start-up and round set-up: each picture goes through one shared record.
int32_t gfx_bmp_load(BmpFile *file, const char *name);
// After every load, once the pixels are taken.
int32_t gfx_bmp_unload(BmpFile *file);
// The load: turns lines rows of bytes_per_line bytes upside down; 0 when no copy can be made.
int32_t gfx_bmp_flip(uint8_t *buffer, int32_t bytes_per_line, int32_t lines);
// Start-up: a zeroed, not yet loaded image of 8 or 16 bits at (x, y); 0 when it cannot be allocated.
int32_t gfx_image_create(PixelImage *image, int32_t x, int32_t y, int32_t width, int32_t height, int32_t bpp);
// Releases the buffer and zeroes the record; 0 for a null image or buffer.
int32_t gfx_image_destroy(PixelImage *image);
// Start-up: mode 1 takes pixel coordinates, mode 0 cell numbers.
int32_t gfx_image_load8(PixelImage *image, const BmpFile *file, int32_t cx, int32_t cy, int32_t mode);
int32_t gfx_image_load16(PixelImage *image, const BmpFile *file, int32_t cx, int32_t cy, int32_t mode);
// Every frame: the backdrop into the locked back buffer, at the image's (x, y) in any buffer of
// pitch bytes a row (transparent: index 0 shows what was there), cut only at the buffer's own edges
// (gfx_buffer_rows); 0 for an image never loaded.
int32_t gfx_image_draw8(const PixelImage *image, uint8_t *dest, int32_t pitch, int32_t transparent);
int32_t gfx_image_draw16(const PixelImage *image, uint8_t *dest, int32_t pitch, int32_t transparent);
// Rotates every row by dx pixels (right for dx > 0); dy means nothing beyond "dx and dy both 0 gives 0".
int32_t gfx_image_scroll(PixelImage *image, int32_t dx, int32_t dy);
// Copies a width by height block between images of one depth; 0 when either rectangle reaches outside.
int32_t gfx_image_copy_rect(PixelImage *dst, int32_t dx, int32_t dy, const PixelImage *src, int32_t sx, int32_t sy,
                            int32_t width, int32_t height);
// Image, sprite-frame and cell loaders: copies the part of the rectangle inside the picture,
// zeroes the rest of dest; 0 when nothing of it lies inside (or nothing is loaded).
int32_t gfx_bmp_copy_cell(const BmpFile *file, int32_t src_x, int32_t src_y, int32_t width, int32_t height,
                          int32_t bytes_per_pixel, uint8_t *dest, int32_t dest_pitch);
