// Start-up, as a person sees it: from exec to a window on screen showing its content.
//
//   startup_probe vellomarin|xclock COMMAND [ARGS...]
//
// Watches the root window of $DISPLAY for a new top-level window being mapped, starts
// COMMAND, and once the window is mapped reads its pixels back from the X server every
// millisecond until they show what was drawn: for vellomarin, the green clock panel
// with the time's dark strokes on it; for xclock, any second colour on its background.
// Prints "sample map MS" and "sample shown MS", both from just before exec, then ends
// the program.

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

extern char** environ;

namespace {

int64_t monotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

double msSince(int64_t startNs) {
    return static_cast<double>(monotonicNs() - startNs) / 1e6;
}

struct Rgb {
    unsigned r, g, b;
};

Rgb pixelAt(XImage* image, int x, int y) {
    const unsigned long p = XGetPixel(image, x, y);
    // Xvfb's default visual at depth 24: 8 bits a channel, red highest.
    return {static_cast<unsigned>((p >> 16) & 0xff), static_cast<unsigned>((p >> 8) & 0xff),
            static_cast<unsigned>(p & 0xff)};
}

// PANEL lies 10 px in from the window's corner (its box's place plus the border).
bool panelShowsTime(Display* display, Window window) {
    XImage* image = XGetImage(display, window, 10, 10, 181, 29, AllPlanes, ZPixmap);
    if (!image)
        return false;
    int green = 0;
    int dark = 0;
    for (int y = 0; y < image->height; ++y)
        for (int x = 0; x < image->width; ++x) {
            const Rgb c = pixelAt(image, x, y);
            if (c.r < 40 && c.g > 150 && c.b < 40)
                ++green;
            else if (c.r < 80 && c.g < 80 && c.b < 80)
                ++dark;
        }
    XDestroyImage(image);
    // Mostly green, with the strokes of a dozen characters on it.
    return green > 181 * 29 / 2 && dark > 40;
}

bool hasTwoColours(Display* display, Window window) {
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, window, &attributes))
        return false;
    XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(attributes.width),
                              static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (!image)
        return false;
    const unsigned long first = XGetPixel(image, 0, 0);
    bool other = false;
    for (int y = 0; y < image->height && !other; ++y)
        for (int x = 0; x < image->width && !other; ++x)
            other = XGetPixel(image, x, y) != first;
    XDestroyImage(image);
    return other;
}

int ignoreErrors(Display*, XErrorEvent*) {
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: startup_probe vellomarin|xclock COMMAND [ARGS...]\n");
        return 2;
    }
    const bool isVellomarin = std::strcmp(argv[1], "vellomarin") == 0;
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "startup_probe: cannot open the display\n");
        return 1;
    }
    // The window may vanish between the event and our look at it.
    XSetErrorHandler(ignoreErrors);
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, False);

    pid_t child = 0;
    const int64_t start = monotonicNs();
    if (posix_spawnp(&child, argv[2], nullptr, nullptr, argv + 2, environ) != 0) {
        std::fprintf(stderr, "startup_probe: cannot start %s\n", argv[2]);
        return 1;
    }

    Window mapped = 0;
    double mapMs = -1;
    double shownMs = -1;
    const int fd = ConnectionNumber(display);
    while (msSince(start) < 10'000 && shownMs < 0) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify && event.xmap.event == root && !mapped &&
                !event.xmap.override_redirect) {
                mapped = event.xmap.window;
                mapMs = msSince(start);
            }
        }
        if (mapped) {
            if (isVellomarin ? panelShowsTime(display, mapped) : hasTwoColours(display, mapped))
                shownMs = msSince(start);
            else
                usleep(1000);
        } else {
            pollfd p{fd, POLLIN, 0};
            poll(&p, 1, 100);
        }
    }

    kill(child, SIGTERM);
    int status = 0;
    waitpid(child, &status, 0);
    XCloseDisplay(display);
    if (shownMs < 0) {
        std::printf("info error %s\n",
                    mapped ? "mapped, but its content never showed" : "no window was mapped");
        return 1;
    }
    std::printf("sample map %.3f\nsample shown %.3f\n", mapMs, shownMs);
    return 0;
}
