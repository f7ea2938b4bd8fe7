// Text on surfaces through the platform's renderer, and the optional error log.
#include "gfx/text.h"

#include <chrono>
#include <cstdarg>
#include <cstring>
#include <ctime>
#include <vector>

#include "gfx/palette.h"

FILE *error_log = nullptr;

namespace {

// Set when the log is a file this module opened itself (not a caller's stream).
int log_owned = 0;
std::vector<char> log_message(LOG_MESSAGE_MAX);

// "Www Mmm dd hh:mm:ss yyyy\n" of the local time, English names whatever the locale.
void local_time_text(time_t secs, char *out, size_t size) {
    static const char *const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char *const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    struct tm t {};
    if (!localtime_r(&secs, &t)) {
        std::snprintf(out, size, "Thu Jan 01 00:00:00 1970\n");
        return;
    }
    std::snprintf(out, size, "%.3s %.3s %02d %02d:%02d:%02d %4d\n", days[t.tm_wday % 7], months[t.tm_mon % 12],
                  t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, t.tm_year + 1900);
}

} // namespace

int32_t gfx_draw_text(const char *text, int32_t x, int32_t y, uint32_t colour, PlatSurface *surface) {
    if (!text || !surface || surface->locked) return 0;
    return plat_draw_text(surface, text, x, y, colour) ? 1 : 0;
}

int32_t gfx_draw_text_indexed(const char *text, int32_t x, int32_t y, int32_t index, PlatSurface *surface) {
    if (index < 0 || index > 255) return 0;
    const PaletteEntry &e = palette_shadow[index];
    uint32_t colour =
        static_cast<uint32_t>(e.red) | (static_cast<uint32_t>(e.green) << 8) | (static_cast<uint32_t>(e.blue) << 16);
    return gfx_draw_text(text, x, y, colour, surface);
}

int32_t gfx_log_open(const char *file_name, FILE *stream) {
    if (!stream && !file_name) return 0;
    FILE *first = stream;
    if (!first) {
        first = std::fopen(file_name, "w");
        if (!first) return 0;
    }
    // A file of our own from an earlier open would otherwise stay open for good.
    if (error_log && log_owned && error_log != first) std::fclose(error_log);
    error_log = first;
    log_owned = 0;

    using namespace std::chrono;
    auto now = system_clock::now();
    auto since = now.time_since_epoch();
    time_t secs = system_clock::to_time_t(now);
    unsigned short millis = (unsigned short)(duration_cast<milliseconds>(since).count() % 1000);
    char when[64];
    local_time_text(secs, when, sizeof when);
    char stamp[96];
    std::snprintf(stamp, sizeof stamp, "%.19s.%hu, %s", when, millis, when + 20);
    gfx_log_write("\nOpening Error Output File (%s) on %s\n", file_name ? file_name : "", stamp);

    if (stream) return 1;
    std::fclose(error_log);
    error_log = std::fopen(file_name, "a+");
    log_owned = error_log ? 1 : 0;
    return error_log ? 1 : 0;
}

int32_t gfx_log_close(void) {
    if (!error_log) return 0;
    gfx_log_write("\nClosing Error Output File.");
    if (error_log != stdout && error_log != stderr) std::fclose(error_log);
    error_log = nullptr;
    log_owned = 0;
    return 1;
}

int32_t gfx_log_write(const char *format, ...) {
    if (!format || !error_log) return 0;
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int needed = std::vsnprintf(log_message.data(), log_message.size(), format, args);
    va_end(args);
    if (needed < 0) {
        va_end(again);
        return 0;
    }
    // Long messages (a long file name in the opening line) get a bigger buffer, never a cut.
    if (static_cast<size_t>(needed) >= log_message.size()) {
        log_message.resize(static_cast<size_t>(needed) + 1);
        std::vsnprintf(log_message.data(), log_message.size(), format, again);
    }
    va_end(again);
    std::fwrite(log_message.data(), 1, static_cast<size_t>(needed), error_log);
    std::fflush(error_log);
    return 1;
}
