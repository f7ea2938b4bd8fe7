// The SDL backend's window-surface presenting on SDL's dummy video driver: whole-factor
// scaling, centring, black borders, frames not sent twice, and Alt+Enter.
#include <gtest/gtest.h>

#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "platform/plat_input.h"
#include "platform/plat_system.h"
#include "platform/plat_video.h"
#include "platform/sdl/sdl_internal.h"

namespace {

struct Present : ::testing::Test {
    PlatSurface *back = nullptr;
    PlatColor pal[256] = {};
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        unsetenv("SDL_RENDER_DRIVER");
        ASSERT_EQ(plat_init(), 1) << plat_error();
        ASSERT_EQ(plat_window_open("Quorvane", 640, 480, 0), 1) << plat_error();
        ASSERT_EQ(plat_display_open(640, 480, 8), 1) << plat_error();
        back = plat_surface_create(640, 480, 8);
        pal[1] = PlatColor{255, 0, 0, 0};
        pal[2] = PlatColor{0, 0, 255, 0};
        plat_palette_set(0, 256, pal);
        plat_surface_fill(back, nullptr, 1);
        PlatRect corner{0, 0, 1, 1};
        plat_surface_fill(back, &corner, 2);
    }
    void TearDown() override {
        plat_surface_release(back);
        plat_shutdown();
    }
    // 0x00RRGGBB of a window pixel.
    static uint32_t window_rgb(int x, int y) {
        SDL_Surface *s = SDL_GetWindowSurface(sdl_window());
        const uint8_t *row = static_cast<const uint8_t *>(s->pixels) + static_cast<size_t>(y) * s->pitch;
        uint32_t v = reinterpret_cast<const uint32_t *>(row)[x];
        uint8_t r, g, b;
        SDL_GetRGB(v, s->format, &r, &g, &b);
        return static_cast<uint32_t>(r) << 16 | static_cast<uint32_t>(g) << 8 | b;
    }
    static void resize(int w, int h) {
        SDL_SetWindowSize(sdl_window(), w, h);
        plat_pump_events();
    }
};

TEST_F(Present, WholeFactorsCentredWithBlackBorders) {
    struct Case {
        int w, h, k, ox, oy;
    } cases[] = {
        {640, 480, 1, 0, 0},
        {1380, 1000, 2, 50, 20},  // 2.16 x 2.08: twice
        {1920, 1080, 2, 320, 60}, // wide screen: height decides
        {2000, 1500, 3, 40, 30},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.w);
        resize(c.w, c.h);
        ASSERT_EQ(plat_present(back), 1);
        for (int i = 0; i < c.k; i++)
            EXPECT_EQ(window_rgb(c.ox + i, c.oy + c.k - 1), 0x0000FFu) << "corner pixel, copy " << i;
        EXPECT_EQ(window_rgb(c.ox + c.k, c.oy), 0xFF0000u);
        EXPECT_EQ(window_rgb(c.ox + 640 * c.k - 1, c.oy + 480 * c.k - 1), 0xFF0000u);
        if (c.ox > 0) {
            EXPECT_EQ(window_rgb(c.ox - 1, c.oy), 0u) << "left border";
            EXPECT_EQ(window_rgb(c.ox + 640 * c.k, c.oy), 0u) << "right border";
        }
        if (c.oy > 0) {
            EXPECT_EQ(window_rgb(c.ox, c.oy - 1), 0u) << "top border";
        }
    }
}

// Only what changed is sent again, and that part is right; a palette change shows by itself.
TEST_F(Present, OnlyChangedFramesAreSentAndTheirChangedPartIsRight) {
    ASSERT_EQ(plat_present(back), 1);
    int32_t shown = sdl_video_shown_count();
    EXPECT_EQ(plat_present(back), 1);
    EXPECT_EQ(sdl_video_shown_count(), shown) << "same pixels, same palette";

    PlatRect box{300, 200, 340, 260};
    plat_surface_fill(back, &box, 2);
    EXPECT_EQ(plat_present(back), 1);
    EXPECT_EQ(sdl_video_shown_count(), shown + 1);
    EXPECT_EQ(window_rgb(300, 200), 0x0000FFu);
    EXPECT_EQ(window_rgb(339, 259), 0x0000FFu);
    EXPECT_EQ(window_rgb(340, 259), 0xFF0000u);
    EXPECT_EQ(window_rgb(299, 200), 0xFF0000u);
    plat_surface_fill(back, &box, 1);
    ASSERT_EQ(plat_present(back), 1);
    EXPECT_EQ(window_rgb(320, 230), 0xFF0000u) << "the box is gone again";

    PlatColor green{0, 255, 0, 0};
    plat_palette_set(1, 1, &green);
    plat_pump_events(); // a palette change shows by the next event pump or wait at the latest
    EXPECT_EQ(sdl_video_shown_count(), shown + 3);
    EXPECT_EQ(window_rgb(100, 100), 0x00FF00u);
    EXPECT_EQ(plat_present(back), 1);
    EXPECT_EQ(sdl_video_shown_count(), shown + 3);
}

void push_key(SDL_Scancode sc, bool down, uint16_t mod, int repeat = 0) {
    SDL_Event ev{};
    ev.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    ev.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    ev.key.repeat = static_cast<uint8_t>(repeat);
    ev.key.keysym.scancode = sc;
    ev.key.keysym.mod = mod;
    ev.key.windowID = SDL_GetWindowID(sdl_window());
    SDL_PushEvent(&ev);
}

TEST_F(Present, AltEnterTogglesFullScreenAndNeverReadsAsReturn) {
    uint8_t keys[256];
    ASSERT_EQ(plat_keyboard_open(), 1);
    plat_keyboard_read(keys);
    push_key(SDL_SCANCODE_LALT, true, KMOD_LALT);
    push_key(SDL_SCANCODE_RETURN, true, KMOD_LALT);
    push_key(SDL_SCANCODE_RETURN, true, KMOD_LALT, 1); // auto-repeat while both are held
    push_key(SDL_SCANCODE_RETURN, false, KMOD_LALT);
    push_key(SDL_SCANCODE_LALT, false, 0);
    plat_keyboard_read(keys);
    EXPECT_EQ(keys[28], 0);
    EXPECT_EQ(plat_window_is_fullscreen(), 1) << "toggled once, not by the repeat";

    // The focus moving with the mode change makes SDL replay held keys, Return before Alt.
    push_key(SDL_SCANCODE_RETURN, true, 0);
    push_key(SDL_SCANCODE_LALT, true, KMOD_LALT);
    push_key(SDL_SCANCODE_RETURN, true, KMOD_LALT);
    push_key(SDL_SCANCODE_RETURN, false, KMOD_LALT);
    push_key(SDL_SCANCODE_LALT, false, 0);
    plat_keyboard_read(keys);
    EXPECT_EQ(keys[28], 0);
    EXPECT_EQ(plat_window_is_fullscreen(), 1) << "a replay is not a second toggle";

    SDL_Delay(300); // a player's own Return, a moment later
    push_key(SDL_SCANCODE_RETURN, true, 0);
    push_key(SDL_SCANCODE_RETURN, false, 0);
    plat_keyboard_read(keys);
    EXPECT_EQ(keys[28], 0x80) << "a plain Return is the game's";
    plat_keyboard_close();
}

// A display needs a window; shutting down closes it.
TEST_F(Present, ADisplayNeedsAWindowAndShutdownClosesIt) {
    plat_display_close();
    plat_window_close();
    EXPECT_EQ(plat_display_open(640, 480, 8), 0);
    EXPECT_STRNE(plat_error(), "");
    plat_shutdown();
    EXPECT_EQ(plat_window_is_open(), 0);
}

// Our own X11 path sends only the changed parts of its shared-memory image: what reaches the
// window must be the current frame, scaled and centred, with no part sent from the wrong place or
// left over from a buffer that missed a frame. Starts its own Xvfb.
// The server is stopped in TearDown, so a failed assertion leaves no Xvfb behind.
struct X11Present : ::testing::Test {
    pid_t xvfb = -1;
    std::string saved;
    void TearDown() override {
        plat_shutdown();
        if (xvfb > 0) {
            kill(xvfb, SIGCONT);
            kill(xvfb, SIGTERM);
            waitpid(xvfb, nullptr, 0);
        }
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        if (!saved.empty()) setenv("DISPLAY", saved.c_str(), 1);
    }
};

TEST_F(X11Present, TheWindowShowsEachFrameAsBoxesMove) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    xvfb = fork();
    if (xvfb == 0) {
        std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "2000x1500x24", "-nolisten", "tcp",
               static_cast<char *>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    char num[16] = {};
    pollfd p{fds[0], POLLIN, 0};
    ssize_t got = poll(&p, 1, 10000) > 0 ? read(fds[0], num, sizeof num - 1) : 0;
    close(fds[0]);
    const char *display = std::getenv("DISPLAY");
    saved = display ? display : "";
    setenv("DISPLAY", (":" + std::to_string(std::atoi(num))).c_str(), 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);
    unsetenv("QUORVANE_X11_PRESENT");
    ASSERT_GT(got, 0) << "Xvfb did not start";
    ASSERT_EQ(plat_init(), 1) << plat_error();
    ASSERT_EQ(plat_window_open("Quorvane", 1300, 1000, 0), 1) << plat_error(); // 2x, 10 and 20 px borders
    ASSERT_EQ(plat_display_open(640, 480, 8), 1) << plat_error();
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    ASSERT_TRUE(SDL_GetWindowWMInfo(sdl_window(), &info));
    Display *dpy = XOpenDisplay(nullptr);
    ASSERT_NE(dpy, nullptr);
    PlatColor pal[256] = {};
    pal[1] = PlatColor{255, 0, 0, 0};
    pal[2] = PlatColor{0, 0, 255, 0};
    plat_palette_set(0, 256, pal);
    PlatSurface *back = plat_surface_create(640, 480, 8);
    // Wrong window pixels, read back until our connection's puts have arrived: the frame in back
    // (red 1, blue 2) scaled by k at (ox, oy) of a w x h window, black around it. Events are
    // taken meanwhile, as every frame of the game does: a window exposed again is painted again.
    auto wrong_pixels = [&](int w, int h, int k, int ox, int oy) {
        long wrong = -1;
        for (int tries = 0; tries < 50 && wrong != 0; tries++, SDL_Delay(20), plat_pump_events()) {
            XImage *img = XGetImage(dpy, info.info.x11.window, 0, 0, w, h, AllPlanes, ZPixmap);
            if (!img) continue; // not yet wholly on the screen
            wrong = 0;
            for (int y = 0; y < h; y++)
                for (int x = 0; x < w; x++) {
                    bool inside = x >= ox && x < ox + 640 * k && y >= oy && y < oy + 480 * k;
                    uint8_t index =
                        inside ? back->pixels[static_cast<size_t>((y - oy) / k) * back->pitch + (x - ox) / k] : 0;
                    unsigned long want = index == 1 ? 0xFF0000 : index == 2 ? 0x0000FF : 0;
                    wrong += (XGetPixel(img, x, y) & 0xFFFFFF) != want;
                }
            XDestroyImage(img);
        }
        return wrong;
    };
    for (int frame = 0; frame < 6; frame++) {
        SCOPED_TRACE(frame);
        plat_surface_fill(back, nullptr, 1);
        PlatRect box{40 + frame * 60, 100, 80 + frame * 60, 130}; // along the same rows
        plat_surface_fill(back, &box, 2);
        ASSERT_EQ(plat_present(back), 1);
        EXPECT_EQ(wrong_pixels(1300, 1000, 2, 10, 20), 0) << "window pixels not those of the frame";
    }
    // A server too busy to read our images for a while: a frame changing every band (more than
    // the ring holds) must still arrive whole, no image drawn into before the server read it.
    kill(xvfb, SIGSTOP);
    std::thread wake([this] {
        SDL_Delay(1000);
        kill(xvfb, SIGCONT);
    });
    // Diagonal stripes that repeat every 61 columns: no two bands within a ring look alike.
    for (int32_t y = 0; y < 480; y++)
        for (int32_t x = 0; x < 640; x++)
            back->pixels[static_cast<size_t>(y) * back->pitch + x] = (x + 3 * y) % 61 < 30 ? 2 : 1;
    EXPECT_EQ(plat_present(back), 1);
    wake.join();
    EXPECT_EQ(wrong_pixels(1300, 1000, 2, 10, 20), 0) << "window pixels after a server that read nothing for 1 s";
    // A larger window (maximised, say): the last frame again at 3x, centred.
    auto handler = XSetErrorHandler([](Display *, XErrorEvent *) { return 0; }); // reads while partly off screen
    SDL_SetWindowPosition(sdl_window(), 0, 0);
    SDL_SetWindowSize(sdl_window(), 1940, 1460);
    for (int tries = 0; tries < 50; tries++, SDL_Delay(20)) {
        plat_pump_events();
        int w = 0, h = 0;
        SDL_GetWindowSizeInPixels(sdl_window(), &w, &h);
        XWindowAttributes a{};
        XGetWindowAttributes(dpy, info.info.x11.window, &a);
        if (w == 1940 && h == 1460 && a.x == 0 && a.y == 0 && a.width == 1940) break;
    }
    ASSERT_EQ(plat_present(back), 1);
    EXPECT_EQ(wrong_pixels(1940, 1460, 3, 10, 10), 0) << "window pixels after the resize";
    XSetErrorHandler(handler);
    XCloseDisplay(dpy);
    plat_surface_release(back);
}

TEST(SdlStart, NoDisplayIsRefusedUnlessAnInvisibleDriverIsAskedFor) {
    unsetenv("SDL_VIDEODRIVER");
    const char *display = std::getenv("DISPLAY");
    std::string saved = display ? display : "";
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    int ok = plat_init();
    const char *driver = SDL_GetCurrentVideoDriver();
    bool real = ok && driver && std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0;
    if (ok) plat_shutdown();
    if (!saved.empty()) setenv("DISPLAY", saved.c_str(), 1);
    if (real) GTEST_SKIP() << "this machine has a display without X or Wayland: " << driver;
    EXPECT_EQ(ok, 0);
    EXPECT_NE(std::strstr(plat_error(), "no display"), nullptr) << plat_error();

    setenv("SDL_VIDEODRIVER", "dummy", 1);
    EXPECT_EQ(plat_init(), 1) << "asked for";
    plat_shutdown();
}

} // namespace
