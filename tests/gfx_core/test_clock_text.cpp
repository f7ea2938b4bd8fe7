#include "fixture.h"

#include <cstdio>
#include <fstream>
#include <cctype>
#include <sstream>
#include <string>

#include "gfx/clock.h"
#include "gfx/palette.h"
#include "gfx/text.h"

namespace {

std::string read_text(const std::string &path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}


// "Www Mmm dd hh:mm:ss.<1-3 digits>, yyyy\n\n" at the start of s.
bool stamp_shaped(const std::string &s)
{
    static const char *days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    bool day_ok = false;
    for (const char *d : days) day_ok = day_ok || s.rfind(d, 0) == 0;
    if (!day_ok || s.size() < 30) return false;
    const char *shape = " Aaa 00 00:00:00.";
    for (size_t i = 0; shape[i]; i++) {
        char c = s[3 + i], want = shape[i];
        if (want == '0' && !std::isdigit((unsigned char)c)) return false;
        if (want == 'A' && !std::isupper((unsigned char)c)) return false;
        if (want == 'a' && !std::islower((unsigned char)c)) return false;
        if ((want == ' ' || want == ':' || want == '.') && c != want) return false;
    }
    size_t i = 20, digits = 0;
    while (i < s.size() && std::isdigit((unsigned char)s[i])) i++, digits++;
    if (digits < 1 || digits > 3 || s.compare(i, 2, ", ") != 0) return false;
    i += 2;
    for (int k = 0; k < 4; k++, i++)
        if (i >= s.size() || !std::isdigit((unsigned char)s[i])) return false;
    return s.compare(i, 2, "\n\n") == 0;
}

} // namespace

TEST_F(GfxCore, ClockWaits)
{
    plat_headless_set_ticks(1000);
    EXPECT_EQ(gfx_clock_start(), 1000u);
    EXPECT_EQ(clock_start_ticks, 1000u);
    uint32_t t = gfx_clock_wait(0);
    EXPECT_LE(t - 1000u, 1u);

    plat_headless_set_auto_advance(0);
    plat_headless_set_ticks(5000);
    gfx_clock_start();
    plat_headless_advance(40);
    EXPECT_EQ(gfx_clock_wait(33), 5040u) << "a long frame ends the wait at once";

    plat_headless_set_auto_advance(1);
    plat_headless_set_ticks(0xFFFFFFF0u);
    uint32_t start = gfx_clock_start();
    uint32_t end = gfx_clock_wait(33);
    EXPECT_EQ(end - start, 33u) << "the first reading at the deadline, across the wrap";
    EXPECT_LT(end, 0x100u);
}

TEST_F(GfxCore, LogFileContents)
{
    EXPECT_EQ(gfx_log_write("\nnothing %d", 1), 0);
    EXPECT_EQ(gfx_log_close(), 0);
    std::string path = std::string(QUORVANE_BINARY_DIR) + "/gfx_core_error.log";
    std::remove(path.c_str());
    ASSERT_EQ(gfx_log_open(path.c_str(), nullptr), 1);
    ASSERT_NE(error_log, nullptr);
    EXPECT_EQ(gfx_log_write(nullptr), 0);
    std::string long_text(300, 'x');
    EXPECT_EQ(gfx_log_write("\nlong %s end", long_text.c_str()), 1);
    start_display();
    EXPECT_EQ(gfx_log_close(), 1);
    EXPECT_EQ(error_log, nullptr);

    std::string text = read_text(path);
    std::string head = "\nOpening Error Output File (" + path + ") on ";
    ASSERT_EQ(text.rfind(head, 0), 0u) << text;
    EXPECT_TRUE(stamp_shaped(text.substr(head.size()))) << text;
    size_t body = text.find("\n\n") + 2;
    EXPECT_EQ(text.substr(body), "\nlong " + long_text +
                                     " end\npixel format = 8\npixel format = 5.6.5\nClosing Error Output File.");

    // A later open truncates the earlier run's lines.
    ASSERT_EQ(gfx_log_open(path.c_str(), nullptr), 1);
    gfx_log_close();
    EXPECT_EQ(read_text(path).find("long"), std::string::npos);
    std::remove(path.c_str());

    EXPECT_EQ(gfx_log_open(nullptr, nullptr), 0);
    EXPECT_EQ(gfx_log_open((std::string(QUORVANE_BINARY_DIR) + "/no/such/dir.log").c_str(), nullptr), 0);
    EXPECT_EQ(error_log, nullptr);
}

TEST_F(GfxCore, LogOnStandardOutputStaysOpen)
{
    ::testing::internal::CaptureStdout();
    ASSERT_EQ(gfx_log_open("stdout", stdout), 1);
    EXPECT_EQ(gfx_log_write("\nhello %s", "there"), 1);
    EXPECT_EQ(gfx_log_close(), 1);
    std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.rfind("\nOpening Error Output File (stdout) on ", 0), 0u);
    EXPECT_NE(out.find("\n\n\nhello there\nClosing Error Output File."), std::string::npos) << out;
    EXPECT_EQ(std::fflush(stdout), 0);
}

TEST_F(GfxCore, TextDrawsInTheNearestColour)
{
    start_display();
    PaletteEntry pal[256] = {};
    pal[1] = PaletteEntry{250, 10, 10, 0};
    pal[2] = PaletteEntry{10, 240, 10, 0};
    pal[3] = PaletteEntry{255, 255, 255, 0};
    gfx_palette_set_all(pal);
    if (plat_text_width("Quorvane") < 0)
        GTEST_SKIP() << "no game font on this machine";

    ASSERT_EQ(gfx_draw_text("Quorvane", 10, 10, 0x00FF00, back_surface), 1);
    int ink = 0, other = 0;
    for (int y = 0; y < 480; y++)
        for (int x = 0; x < 640; x++) {
            uint8_t p = pixel_at(back_surface, x, y);
            if (p == 2) {
                ink++;
                EXPECT_GE(x, 10);
                EXPECT_GE(y, 10);
            } else if (p != 0)
                other++;
        }
    EXPECT_GT(ink, 20);
    EXPECT_EQ(other, 0);

    gfx_fill_surface(back_surface, 0, nullptr);
    ASSERT_EQ(gfx_draw_text_indexed("Q", 100, 100, 3, back_surface), 1);
    int white = 0;
    for (uint8_t p : back_surface->pixels) white += p == 3;
    EXPECT_GT(white, 0);
    EXPECT_EQ(gfx_draw_text_indexed("Q", 100, 100, 256, back_surface), 0);

    gfx_lock_back();
    EXPECT_EQ(gfx_draw_text("Quorvane", 10, 10, 0xFF, back_surface), 0);
    gfx_unlock_back();
    EXPECT_EQ(gfx_draw_text("Quorvane", 10, 10, 0xFF, nullptr), 0);
    EXPECT_EQ(gfx_draw_text(nullptr, 10, 10, 0xFF, back_surface), 0);
}
