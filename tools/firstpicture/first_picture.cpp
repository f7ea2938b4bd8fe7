// Start to first picture as the X server shows it, the way a player sees it (no help from the game):
// runs the command and polls the screen's middle row until it holds a colour that was neither there
// before nor black (the colour of a fresh window). Prints the milliseconds from fork to then, and
// the fork's time on the real-time clock in nanoseconds (to set against the game's own report).
// Usage: quorvane_first_picture COMMAND [ARG]...   (DISPLAY names the server)
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <set>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

double now_ms(void) {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// The middle row of the screen, as pixel values; empty when the server would not give it.
std::vector<unsigned long> middle_row(Display *dpy) {
    const int w = DisplayWidth(dpy, DefaultScreen(dpy)), h = DisplayHeight(dpy, DefaultScreen(dpy));
    std::vector<unsigned long> row;
    XImage *image = XGetImage(dpy, DefaultRootWindow(dpy), 0, h / 2, w, 1, AllPlanes, ZPixmap);
    if (!image) return row;
    row.resize(w);
    for (int x = 0; x < w; x++) row[x] = XGetPixel(image, x, 0);
    XDestroyImage(image);
    return row;
}

// A colour in row that is neither black nor among the colours there before.
bool shows_picture(const std::set<unsigned long> &before, const std::vector<unsigned long> &row) {
    for (unsigned long p : row)
        if (p != 0 && !before.count(p)) return true;
    return false;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s COMMAND [ARG]...\n", argv[0]);
        return 2;
    }
    Display *dpy = XOpenDisplay(nullptr);
    if (!dpy) {
        std::fprintf(stderr, "first_picture: cannot open the display\n");
        return 2;
    }
    const std::vector<unsigned long> row = middle_row(dpy);
    const std::set<unsigned long> colours(row.begin(), row.end()); // the colours there before
    timespec fork_wall{};
    clock_gettime(CLOCK_REALTIME, &fork_wall);
    const double start = now_ms();
    pid_t child = fork();
    if (child == 0) {
        execvp(argv[1], argv + 1);
        _exit(127);
    }
    if (child < 0) return 2;
    double seen_at = -1;
    // At most 10 s, one look a millisecond or so.
    while (seen_at < 0 && now_ms() - start < 10000) {
        if (waitpid(child, nullptr, WNOHANG) == child) {
            child = -1;
            break;
        }
        if (shows_picture(colours, middle_row(dpy)))
            seen_at = now_ms() - start;
        else
            usleep(1000);
    }
    if (child > 0) {
        kill(child, SIGTERM);
        waitpid(child, nullptr, 0);
    }
    XCloseDisplay(dpy);
    if (seen_at < 0) {
        std::fprintf(stderr, "first_picture: no picture within 10 s\n");
        return 1;
    }
    std::printf("%.1f %lld\n", seen_at, static_cast<long long>(fork_wall.tv_sec) * 1000000000LL + fork_wall.tv_nsec);
    return 0;
}
