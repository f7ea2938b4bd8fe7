// The few things SDL does not offer on X11: a black window background drawn by the server, and
// whether a window manager runs.
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include "platform/sdl/sdl_internal.h"

static int x11_of(SDL_Window *win, Display **dpy, Window *xwin) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!win || !SDL_GetWindowWMInfo(win, &info) || info.subsystem != SDL_SYSWM_X11) return 0;
    *dpy = info.info.x11.display;
    *xwin = info.info.x11.window;
    return 1;
}

int sdl_x11_is_x11(SDL_Window *win) {
    Display *dpy;
    Window xwin;
    return x11_of(win, &dpy, &xwin);
}

int sdl_x11_black_background(SDL_Window *win) {
    Display *dpy;
    Window xwin;
    if (!x11_of(win, &dpy, &xwin)) return 0;
    XSetWindowBackground(dpy, xwin, BlackPixel(dpy, DefaultScreen(dpy)));
    XClearWindow(dpy, xwin);
    // Done before we return: the picture may go on another connection (sdl_x11_present.cpp), and
    // a clear the server reached after it would blacken it for good.
    XSync(dpy, False);
    return 1;
}

int sdl_x11_has_window_manager(SDL_Window *win) {
    Display *dpy;
    Window xwin;
    if (!x11_of(win, &dpy, &xwin)) return 0;
    // A compliant window manager names its check window on the root window and on itself.
    Atom check = XInternAtom(dpy, "_NET_SUPPORTING_WM_CHECK", True);
    if (check == None) return 0;
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char *data = nullptr;
    int found = 0;
    if (XGetWindowProperty(dpy, DefaultRootWindow(dpy), check, 0, 1, False, XA_WINDOW, &type, &format, &count, &after,
                           &data) == Success &&
        data && count == 1 && format == 32) {
        Window wm = *reinterpret_cast<Window *>(data);
        XFree(data);
        data = nullptr;
        // The property can outlive a window manager that died: ask its window too.
        int (*old)(Display *, XErrorEvent *) = XSetErrorHandler([](Display *, XErrorEvent *) { return 0; });
        if (XGetWindowProperty(dpy, wm, check, 0, 1, False, XA_WINDOW, &type, &format, &count, &after, &data) ==
                Success &&
            data && count == 1)
            found = *reinterpret_cast<Window *>(data) == wm;
        XSync(dpy, False);
        XSetErrorHandler(old);
    }
    if (data) XFree(data);
    return found;
}
