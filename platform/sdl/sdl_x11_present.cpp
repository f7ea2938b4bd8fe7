// Presenting on X11 without waiting for the server: SDL's window framebuffer sends with
// XShmPutImage and then XSyncs, so every present waits for the server's copy. We keep a ring of
// shared-memory band images on a connection of our own (its ShmCompletion events come to us, not
// to SDL's event pump), put each band and only flush; an image is drawn into again once the server
// has read it. Any failure leaves the caller on SDL's window surface.
#include <SDL_syswm.h>
#include <X11/Xlib-xcb.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <sys/ipc.h>
#include <sys/mman.h>
#include <sys/shm.h>
#include <unistd.h>
#include <xcb/shm.h>

#include "platform/sdl/sdl_internal.h"

namespace {

struct Buffer {
    XImage *image;
    XShmSegmentInfo seg;
    size_t bytes;      // of a memory file's mapping; 0 for a System V segment
    int32_t in_flight; // puts the server has not finished reading
};

Display *dpy = nullptr;
Window xwin = 0;
GC gc = nullptr;
Visual *visual = nullptr;
int depth = 0;
int completion_type = 0;
int fd_attach = 0; // the server takes a memory file (MIT-SHM 1.2)
// A ring of band images rather than one of the window's size: the server maps an image's pages
// by faulting them in the first time it reads them, and we do when we first write them (in this
// virtual machine several microseconds a page). A window-sized image at 3840x2160 was 8,100 pages
// of those before the first picture; the ring is about 1,300 there, 330 at 1920x1080, and a whole
// frame's 30 bands reuse it while the server keeps up.
constexpr int32_t SLOTS = 8;
Buffer bufs[SLOTS] = {};
int32_t next_slot = 0, acquired = -1;
int32_t img_w = 0, img_h = 0;
int32_t shifts[3] = {};
int x_error = 0;
int32_t slow_waits = 0; // waits the server took longer than 100 ms to answer
int (*previous_handler)(Display *, XErrorEvent *) = nullptr;

// Errors on our own connection (a window gone, an attach refused) are noted, not fatal; the
// others go on to whoever handled them before.
int on_x_error(Display *d, XErrorEvent *e) {
    if (d == dpy) {
        x_error = 1;
        return 0;
    }
    return previous_handler ? previous_handler(d, e) : 0;
}

int shift_of(unsigned long mask) {
    int s = 0;
    while (s < 32 && !((mask >> s) & 1)) s++;
    return (mask >> s) == 0xFF ? s : -1; // 8 bits a channel only
}

void take_events(void) {
    while (XPending(dpy)) {
        XEvent ev;
        XNextEvent(dpy, &ev);
        if (ev.type != completion_type) continue;
        const auto *done = reinterpret_cast<const XShmCompletionEvent *>(&ev);
        for (Buffer &b : bufs)
            if (b.image && b.seg.shmseg == done->shmseg && b.in_flight > 0) b.in_flight--;
    }
}

// An image is drawn into again only once the server has read it: XShmPutImage only queues the
// copy, and an image rewritten before the server gets to it puts the new band at the old band's
// place, where it stays until that part of the picture changes. Usually its completion event is
// there by now; a server slower than 100 ms (a busy machine) gets a round trip instead, after which
// every put sent so far has been read, or refused.
void wait_for(Buffer &b) {
    const double deadline = sdl_now_ms() + 100;
    take_events();
    while (b.in_flight > 0) {
        int left = static_cast<int>(deadline - sdl_now_ms());
        if (left <= 0) {
            slow_waits++;
            XSync(dpy, False);
            take_events();
            for (Buffer &any : bufs) any.in_flight = 0;
            return;
        }
        pollfd p{ConnectionNumber(dpy), POLLIN, 0};
        poll(&p, 1, left);
        take_events();
    }
}

void free_images(void) {
    if (!dpy) return;
    for (Buffer &b : bufs) {
        if (!b.image) continue;
        if (b.seg.shmaddr) XShmDetach(dpy, &b.seg);
    }
    XSync(dpy, False);
    for (Buffer &b : bufs) {
        if (!b.image) continue;
        if (b.seg.shmaddr && b.bytes)
            munmap(b.seg.shmaddr, b.bytes);
        else if (b.seg.shmaddr)
            shmdt(b.seg.shmaddr);
        b.image->data = nullptr; // the memory is not Xlib's to free
        XDestroyImage(b.image);
        b = Buffer{};
    }
    img_w = img_h = 0;
    acquired = -1;
}

// A memory file rather than a System V segment: the server maps a file's pages sixteen to a
// fault, a segment's one by one. The first picture at 3840x2160 reached the screen 25 ms sooner
// (a bare client's first put of 2560x1920: 30 against 55 ms).
int attach_memory_file(Buffer &b, size_t bytes) {
    int fd = memfd_create("quorvane-frame", MFD_CLOEXEC);
    if (fd < 0) return 0;
    void *addr = ftruncate(fd, static_cast<off_t>(bytes)) == 0
                     ? mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0)
                     : MAP_FAILED;
    if (addr == MAP_FAILED) {
        close(fd);
        return 0;
    }
    xcb_connection_t *c = XGetXCBConnection(dpy);
    b.seg.shmseg = xcb_generate_id(c);
    // xcb sends the descriptor and closes it; our mapping stays.
    xcb_generic_error_t *e = xcb_request_check(c, xcb_shm_attach_fd_checked(c, b.seg.shmseg, fd, 1));
    if (e) {
        std::free(e);
        munmap(addr, bytes);
        return 0;
    }
    b.seg.shmid = -1;
    b.seg.shmaddr = static_cast<char *>(addr);
    b.seg.readOnly = True;
    b.bytes = bytes;
    return 1;
}

int attach_segment(Buffer &b, size_t bytes) {
    b.seg.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (b.seg.shmid < 0) return 0;
    void *addr = shmat(b.seg.shmid, nullptr, 0);
    if (addr == reinterpret_cast<void *>(-1)) {
        shmctl(b.seg.shmid, IPC_RMID, nullptr);
        return 0;
    }
    b.seg.shmaddr = static_cast<char *>(addr);
    b.seg.readOnly = False;
    x_error = 0;
    XShmAttach(dpy, &b.seg); // refused (BadAccess) when the server is on another machine
    XSync(dpy, False);
    shmctl(b.seg.shmid, IPC_RMID, nullptr); // gone once both sides detach
    if (x_error) {
        XShmDetach(dpy, &b.seg);
        shmdt(addr);
        b.seg.shmaddr = nullptr;
        return 0;
    }
    return 1;
}

int make_images(int32_t w, int32_t h) {
    free_images();
    for (Buffer &b : bufs) {
        b.image = XShmCreateImage(dpy, visual, depth, ZPixmap, nullptr, &b.seg, w, h);
        if (!b.image || b.image->bits_per_pixel != 32) return 0;
        size_t bytes = static_cast<size_t>(b.image->bytes_per_line) * h;
        if (!(fd_attach && attach_memory_file(b, bytes)) && !attach_segment(b, bytes)) return 0;
        b.image->data = b.seg.shmaddr;
    }
    img_w = w;
    img_h = h;
    next_slot = 0;
    acquired = -1;
    return 1;
}

} // namespace

int sdl_x11p_open(SDL_Window *win) {
    sdl_x11p_close();
    const char *env = std::getenv("QUORVANE_X11_PRESENT");
    if (env && std::strcmp(env, "0") == 0) return 0;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!win || !SDL_GetWindowWMInfo(win, &info) || info.subsystem != SDL_SYSWM_X11) return 0;
    dpy = XOpenDisplay(DisplayString(info.info.x11.display));
    if (!dpy) return 0;
    x_error = 0;
    xwin = info.info.x11.window;
    auto handler = XSetErrorHandler(on_x_error);
    if (handler != on_x_error) previous_handler = handler;
    XSync(info.info.x11.display, False); // the window exists on the server before we ask about it
    XWindowAttributes attr;
    // SDL picks a DirectColor visual where there is one (for gamma ramps); its pixels are laid out
    // by the same masks.
    if (!XShmQueryExtension(dpy) || !XGetWindowAttributes(dpy, xwin, &attr) ||
        (attr.visual->c_class != TrueColor && attr.visual->c_class != DirectColor)) {
        sdl_x11p_close();
        return 0;
    }
    visual = attr.visual;
    depth = attr.depth;
    shifts[0] = shift_of(visual->red_mask);
    shifts[1] = shift_of(visual->green_mask);
    shifts[2] = shift_of(visual->blue_mask);
    if (shifts[0] < 0 || shifts[1] < 0 || shifts[2] < 0) {
        sdl_x11p_close();
        return 0;
    }
    int major = 0, minor = 0;
    Bool pixmaps = False;
    fd_attach = XShmQueryVersion(dpy, &major, &minor, &pixmaps) && (major > 1 || (major == 1 && minor >= 2));
    gc = XCreateGC(dpy, xwin, 0, nullptr);
    completion_type = XShmGetEventBase(dpy) + ShmCompletion;
    return 1;
}

void sdl_x11p_close(void) {
    if (!dpy) return;
    free_images();
    if (gc) XFreeGC(dpy, gc);
    XCloseDisplay(dpy);
    dpy = nullptr;
    gc = nullptr;
    xwin = 0;
}

int sdl_x11p_acquire(int32_t w, int32_t h, SdlX11Frame *frame) {
    if (!dpy || x_error || w <= 0 || h <= 0) return 0;
    if ((w != img_w || h != img_h) && !make_images(w, h)) {
        sdl_x11p_close();
        return 0;
    }
    Buffer &b = bufs[next_slot];
    if (b.in_flight > 0) {
        XFlush(dpy); // the put it waits for may not have left yet
        wait_for(b);
    }
    acquired = next_slot;
    frame->pixels = reinterpret_cast<uint8_t *>(b.image->data);
    frame->pitch = b.image->bytes_per_line;
    frame->w = w;
    frame->h = h;
    return 1;
}

void sdl_x11p_send(int32_t w, int32_t h, int32_t x, int32_t y) {
    if (!dpy || acquired < 0) return;
    Buffer &b = bufs[acquired];
    XShmPutImage(dpy, xwin, gc, b.image, 0, 0, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h), True);
    b.in_flight++;
    acquired = -1;
    next_slot = (next_slot + 1) % SLOTS;
    // Half a ring at a time: the server copies those bands while we scale the next half.
    if (next_slot % (SLOTS / 2) == 0) XFlush(dpy);
}

void sdl_x11p_flush(void) {
    if (dpy) XFlush(dpy);
}

void sdl_x11p_fill_black(const SDL_Rect *rects, int32_t count) {
    if (!dpy) return;
    XSetForeground(dpy, gc, 0); // black in a true-colour visual
    for (int32_t i = 0; i < count; i++)
        if (rects[i].w > 0 && rects[i].h > 0)
            XFillRectangle(dpy, xwin, gc, rects[i].x, rects[i].y, static_cast<unsigned>(rects[i].w),
                           static_cast<unsigned>(rects[i].h));
}

int32_t sdl_x11p_slow_waits(void) { return slow_waits; }

void sdl_x11p_shifts(int32_t out[3]) {
    for (int i = 0; i < 3; i++) out[i] = shifts[i];
}
