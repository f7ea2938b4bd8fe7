// BMP files and pixel images.
#include "gfx/bitmap.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "gfx/display.h"

namespace {

constexpr int32_t FILE_HEADER_BYTES = 14;
constexpr int32_t INFO_HEADER_BYTES = 40;
constexpr int32_t PALETTE_BYTES = 1024;

uint16_t read_u16(const uint8_t *p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t read_u32(const uint8_t *p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

// A refused file never keeps pixels that no longer match the headers just read.
int32_t refuse(BmpFile *file, FILE *fp) {
    delete[] file->pixels;
    file->pixels = nullptr;
    std::fclose(fp);
    return 0;
}

int32_t picture_rows(const BmpFile *file) {
    int64_t h = file->info_header.biHeight;
    return static_cast<int32_t>(h < 0 ? -h : h);
}

// Bytes held by a loaded record: rows are width * bytes, no gaps.
int64_t picture_bytes(const BmpFile *file) {
    int32_t bpp = file->info_header.biBitCount / 8;
    if (file->info_header.biWidth <= 0 || bpp <= 0) return 0;
    return static_cast<int64_t>(file->info_header.biWidth) * bpp * picture_rows(file);
}

uint16_t pack_rgb(uint8_t red, uint8_t green, uint8_t blue) {
    return static_cast<uint16_t>(pixel_format == 15 ? gfx_rgb16_555(red, green, blue)
                                                    : gfx_rgb16_565(red, green, blue));
}

// Source position of a cell: a grid of cells framed by one-pixel lines, or a plain pixel position.
int64_t cell_origin(int32_t c, int32_t size, int32_t mode) {
    return mode == 0 ? static_cast<int64_t>(c) * (static_cast<int64_t>(size) + 1) + 1 : c;
}

} // namespace

int32_t gfx_bmp_copy_cell(const BmpFile *file, int32_t src_x, int32_t src_y, int32_t width, int32_t height,
                          int32_t bytes_per_pixel, uint8_t *dest, int32_t dest_pitch) {
    if (!dest || width <= 0 || height <= 0 || bytes_per_pixel <= 0) return 0;
    size_t row_bytes = static_cast<size_t>(width) * bytes_per_pixel;
    for (int32_t row = 0; row < height; row++)
        std::memset(dest + static_cast<ptrdiff_t>(row) * dest_pitch, 0, row_bytes);
    if (!file || !file->pixels) return 0;
    int64_t total = picture_bytes(file);
    int64_t stride = static_cast<int64_t>(file->info_header.biWidth) * bytes_per_pixel;
    if (stride <= 0 || total <= 0) return 0;
    int64_t pic_w = file->info_header.biWidth;
    int64_t pic_h = total / stride; // rows that fit, whatever depth the caller reads at
    int64_t x0 = std::max<int64_t>(src_x, 0), x1 = std::min<int64_t>(static_cast<int64_t>(src_x) + width, pic_w);
    int64_t y0 = std::max<int64_t>(src_y, 0), y1 = std::min<int64_t>(static_cast<int64_t>(src_y) + height, pic_h);
    if (x0 >= x1 || y0 >= y1) return 0;
    size_t span = static_cast<size_t>(x1 - x0) * bytes_per_pixel;
    for (int64_t y = y0; y < y1; y++) {
        const uint8_t *src = file->pixels + y * stride + x0 * bytes_per_pixel;
        uint8_t *dst = dest + (y - src_y) * dest_pitch + (x0 - src_x) * bytes_per_pixel;
        std::memcpy(dst, src, span);
    }
    return 1;
}

int32_t gfx_bmp_load(BmpFile *file, const char *name) {
    if (!file || !name) return 0;
    FILE *fp = std::fopen(name, "rb");
    if (!fp) return 0;
    if (std::fseek(fp, 0, SEEK_END) != 0) return refuse(file, fp);
    long file_size = std::ftell(fp);
    if (file_size < 0 || std::fseek(fp, 0, SEEK_SET) != 0) return refuse(file, fp);

    uint8_t head[FILE_HEADER_BYTES + INFO_HEADER_BYTES];
    if (std::fread(head, 1, FILE_HEADER_BYTES, fp) != FILE_HEADER_BYTES) return refuse(file, fp);
    BmpFileHeader &fh = file->file_header;
    fh.bfType = read_u16(head);
    fh.bfSize = read_u32(head + 2);
    fh.bfReserved1 = read_u16(head + 6);
    fh.bfReserved2 = read_u16(head + 8);
    fh.bfOffBits = read_u32(head + 10);
    if (fh.bfType != BMP_MAGIC) return refuse(file, fp);

    const uint8_t *ih_bytes = head + FILE_HEADER_BYTES;
    if (std::fread(head + FILE_HEADER_BYTES, 1, INFO_HEADER_BYTES, fp) != INFO_HEADER_BYTES) return refuse(file, fp);
    BmpInfoHeader &ih = file->info_header;
    ih.biSize = read_u32(ih_bytes);
    ih.biWidth = static_cast<int32_t>(read_u32(ih_bytes + 4));
    ih.biHeight = static_cast<int32_t>(read_u32(ih_bytes + 8));
    ih.biPlanes = read_u16(ih_bytes + 12);
    ih.biBitCount = read_u16(ih_bytes + 14);
    ih.biCompression = read_u32(ih_bytes + 16);
    ih.biSizeImage = read_u32(ih_bytes + 20);
    ih.biXPelsPerMeter = static_cast<int32_t>(read_u32(ih_bytes + 24));
    ih.biYPelsPerMeter = static_cast<int32_t>(read_u32(ih_bytes + 28));
    ih.biClrUsed = read_u32(ih_bytes + 32);
    ih.biClrImportant = read_u32(ih_bytes + 36);

    int32_t depth = ih.biBitCount;
    if (depth != 8 && depth != 16 && depth != 24) return refuse(file, fp);
    int64_t width = ih.biWidth, height = ih.biHeight;
    bool top_down = height < 0;
    if (top_down) height = -height;
    if (width <= 0 || height <= 0 || width > BMP_MAX_DIMENSION || height > BMP_MAX_DIMENSION) return refuse(file, fp);

    int64_t header_end = FILE_HEADER_BYTES + INFO_HEADER_BYTES;
    if (depth == 8) {
        uint8_t pal[PALETTE_BYTES];
        if (std::fread(pal, 1, PALETTE_BYTES, fp) != PALETTE_BYTES) return refuse(file, fp);
        for (int i = 0; i < 256; i++) {
            // File entries are blue, green, red, reserved.
            file->palette[i].red = pal[i * 4 + 2];
            file->palette[i].green = pal[i * 4 + 1];
            file->palette[i].blue = pal[i * 4 + 0];
            file->palette[i].flags = PC_NOCOLLAPSE;
        }
        header_end += PALETTE_BYTES;
    }

    // The pixel array is the last biSizeImage bytes of the file; it may not reach into the headers.
    int64_t in_bytes = depth / 8;
    int64_t packed_row = width * in_bytes;
    int64_t padded_row = (packed_row + 3) & ~int64_t{3};
    int64_t available = static_cast<int64_t>(file_size) - header_end;
    int64_t array_size = ih.biSizeImage;
    if (array_size == 0) array_size = padded_row * height <= available ? padded_row * height : packed_row * height;
    if (array_size > available) return refuse(file, fp);
    int64_t row_stride;
    if (array_size >= padded_row * height)
        row_stride = padded_row;
    else if (array_size >= packed_row * height)
        row_stride = packed_row;
    else
        return refuse(file, fp);

    std::vector<uint8_t> raw;
    raw.resize(static_cast<size_t>(array_size));
    if (std::fseek(fp, file_size - static_cast<long>(array_size), SEEK_SET) != 0) return refuse(file, fp);
    if (std::fread(raw.data(), 1, raw.size(), fp) != raw.size()) return refuse(file, fp);

    int64_t out_bytes = depth == 8 ? 1 : 2;
    int64_t out_row = width * out_bytes;
    uint8_t *pixels = new (std::nothrow) uint8_t[static_cast<size_t>(out_row * height)];
    if (!pixels) return refuse(file, fp);
    for (int64_t row = 0; row < height; row++) {
        const uint8_t *src = raw.data() + row * row_stride;
        int64_t out_index = top_down ? row : height - 1 - row; // bottom-up files store the last row first
        uint8_t *dst = pixels + out_index * out_row;
        if (depth == 24) {
            for (int64_t i = 0; i < width; i++) {
                uint16_t word = pack_rgb(src[i * 3 + 2], src[i * 3 + 1], src[i * 3]);
                dst[i * 2] = static_cast<uint8_t>(word & 0xFF);
                dst[i * 2 + 1] = static_cast<uint8_t>(word >> 8);
            }
        } else {
            std::memcpy(dst, src, static_cast<size_t>(out_row));
        }
    }
    if (depth == 24) ih.biBitCount = 16;
    std::fclose(fp);
    delete[] file->pixels;
    file->pixels = pixels;
    return 1;
}

int32_t gfx_bmp_unload(BmpFile *file) {
    if (file && file->pixels) {
        delete[] file->pixels;
        file->pixels = nullptr;
    }
    return 1;
}

int32_t gfx_bmp_flip(uint8_t *buffer, int32_t bytes_per_line, int32_t lines) {
    if (!buffer || bytes_per_line < 0 || lines < 0) return 0;
    std::vector<uint8_t> row(static_cast<size_t>(bytes_per_line));
    for (int32_t top = 0, bottom = lines - 1; top < bottom; top++, bottom--) {
        uint8_t *a = buffer + static_cast<ptrdiff_t>(top) * bytes_per_line;
        uint8_t *b = buffer + static_cast<ptrdiff_t>(bottom) * bytes_per_line;
        std::memcpy(row.data(), a, row.size());
        std::memcpy(a, b, row.size());
        std::memcpy(b, row.data(), row.size());
    }
    return 1;
}

int32_t gfx_image_create(PixelImage *image, int32_t x, int32_t y, int32_t width, int32_t height, int32_t bpp) {
    if (!image || width <= 0 || height <= 0 || (bpp != 8 && bpp != 16)) return 0;
    int64_t size = static_cast<int64_t>(width) * height * (bpp >> 3);
    if (size > INT32_MAX) return 0;
    uint8_t *buffer = new (std::nothrow) uint8_t[static_cast<size_t>(size)]();
    if (!buffer) return 0;
    image->state = 1;
    image->attributes = 0;
    image->width = width;
    image->height = height;
    image->bpp = bpp;
    image->x = x;
    image->y = y;
    image->size = static_cast<int32_t>(size);
    image->buffer = buffer;
    return 1;
}

int32_t gfx_image_destroy(PixelImage *image) {
    if (!image || !image->buffer) return 0;
    delete[] image->buffer;
    *image = PixelImage{};
    return 1;
}

static int32_t image_load(PixelImage *image, const BmpFile *file, int32_t cx, int32_t cy, int32_t mode, int32_t bytes) {
    if (!image || !image->buffer || image->bpp != bytes * 8) return 0;
    int64_t sx = cell_origin(cx, image->width, mode), sy = cell_origin(cy, image->height, mode);
    if (sx < INT32_MIN || sx > INT32_MAX || sy < INT32_MIN || sy > INT32_MAX) sx = sy = INT32_MIN;
    int32_t copied = gfx_bmp_copy_cell(file, static_cast<int32_t>(sx), static_cast<int32_t>(sy), image->width,
                                       image->height, bytes, image->buffer, image->width * bytes);
    if (copied) image->attributes |= IMAGE_LOADED;
    return copied;
}

int32_t gfx_image_load8(PixelImage *image, const BmpFile *file, int32_t cx, int32_t cy, int32_t mode) {
    return image_load(image, file, cx, cy, mode, 1);
}

int32_t gfx_image_load16(PixelImage *image, const BmpFile *file, int32_t cx, int32_t cy, int32_t mode) {
    return image_load(image, file, cx, cy, mode, 2);
}

// Draws where the image says, into any buffer (not only the screen, and before start-up too),
// cut only to the buffer itself: from its first row and column, within a row's pitch, and above the
// end of the display surface it belongs to. A buffer of the caller's own must hold the image's rows.
static int32_t image_draw(const PixelImage *image, uint8_t *dest, int32_t pitch, int32_t transparent, int32_t bytes) {
    if (!image || !(image->attributes & IMAGE_LOADED) || !image->buffer || !dest || pitch <= 0) return 0;
    int64_t x0 = std::max<int64_t>(image->x, 0);
    int64_t x1 = std::min<int64_t>(static_cast<int64_t>(image->x) + image->width, pitch / bytes) - 1;
    int64_t y0 = std::max<int64_t>(image->y, 0);
    int64_t y1 = std::min<int64_t>(static_cast<int64_t>(image->y) + image->height, gfx_buffer_rows(dest, pitch)) - 1;
    if (x0 > x1 || y0 > y1) return 1;
    int64_t row_step = bytes == 1 ? pitch : (pitch >> 1) * 2;
    size_t span = static_cast<size_t>(x1 - x0 + 1) * bytes;
    int64_t src_pitch = static_cast<int64_t>(image->width) * bytes;
    for (int64_t y = y0; y <= y1; y++) {
        const uint8_t *src = image->buffer + (y - image->y) * src_pitch + (x0 - image->x) * bytes;
        uint8_t *dst = dest + y * row_step + x0 * bytes;
        if (!transparent) {
            std::memcpy(dst, src, span);
        } else if (bytes == 1) {
            for (size_t i = 0; i < span; i++)
                if (src[i]) dst[i] = src[i];
        } else {
            for (size_t i = 0; i < span; i += 2)
                if (src[i] | src[i + 1]) {
                    dst[i] = src[i];
                    dst[i + 1] = src[i + 1];
                }
        }
    }
    return 1;
}

int32_t gfx_image_draw8(const PixelImage *image, uint8_t *dest, int32_t pitch, int32_t transparent) {
    return image_draw(image, dest, pitch, transparent, 1);
}

int32_t gfx_image_draw16(const PixelImage *image, uint8_t *dest, int32_t pitch, int32_t transparent) {
    return image_draw(image, dest, pitch, transparent, 2);
}

int32_t gfx_image_copy_rect(PixelImage *dst, int32_t dx, int32_t dy, const PixelImage *src, int32_t sx, int32_t sy,
                            int32_t width, int32_t height) {
    if (!dst || !src || !dst->buffer || !src->buffer || dst->bpp != src->bpp) return 0;
    // Rectangles reaching outside either image are refused rather than overrun.
    auto fits = [](const PixelImage *im, int32_t x, int32_t y, int32_t w, int32_t h) {
        return x >= 0 && y >= 0 && w >= 0 && h >= 0 && static_cast<int64_t>(x) + w <= im->width &&
               static_cast<int64_t>(y) + h <= im->height;
    };
    if (!fits(dst, dx, dy, width, height) || !fits(src, sx, sy, width, height)) return 0;
    int64_t b = src->bpp / 8;
    // A block moved down within one image is copied bottom row first, so no row is read after it is overwritten.
    bool backwards = dst == src && dy > sy;
    for (int32_t i = 0; i < height; i++) {
        int32_t row = backwards ? height - 1 - i : i;
        std::memmove(dst->buffer + ((static_cast<int64_t>(dy) + row) * dst->width + dx) * b,
                     src->buffer + ((static_cast<int64_t>(sy) + row) * src->width + sx) * b,
                     static_cast<size_t>(width * b));
    }
    return 1;
}

int32_t gfx_image_scroll(PixelImage *image, int32_t dx, int32_t dy) {
    if (!image || (dx == 0 && dy == 0)) return 0;
    if (dx == 0) return 1; // vertical scrolling is not offered
    if (!image->buffer || image->width <= 0) return 1;
    int32_t r = dx % image->width;
    if (r == 0) return 1;
    int64_t b = image->bpp / 8;
    int64_t row_bytes = image->width * b;
    // Right by r: the last r pixels come round to the front; left by -r: the first -r go to the back.
    int64_t middle = r > 0 ? (image->width - r) * b : static_cast<int64_t>(-r) * b;
    for (int32_t row = 0; row < image->height; row++) {
        uint8_t *line = image->buffer + row * row_bytes;
        std::rotate(line, line + middle, line + row_bytes);
    }
    return 1;
}
