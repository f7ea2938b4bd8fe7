// Text on surfaces and the error log.
#pragma once
#include <cstdint>
#include <cstdio>
#include "platform/plat_video.h"

constexpr int32_t LOG_MESSAGE_MAX = 80;

extern FILE *error_log;

int32_t gfx_draw_text(const char *text, int32_t x, int32_t y, uint32_t colour, PlatSurface *surface);
// every screen's words, colour 0x00BBGGRR; 0 while the surface is locked.
int32_t gfx_draw_text_indexed(const char *text, int32_t x, int32_t y, int32_t index, PlatSurface *surface);
int32_t gfx_log_open(const char *file_name, FILE *stream);
int32_t gfx_log_close(void);
int32_t gfx_log_write(const char *format, ...) __attribute__((format(printf, 1, 2)));
// display init writes its pixel-format lines; dropped while the log is closed.
