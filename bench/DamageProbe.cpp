// Repaint lag as seen from outside the program: how long after each wall-clock second
// begins the X server is first asked to draw into the clock's part of the window.
//
//   damage_probe vellomarin|xclock SECONDS COMMAND [ARGS...]
//
// Starts COMMAND, waits for its top-level window to be mapped and lets it settle, then
// asks the X server (the DAMAGE extension, on the root window, so drawing into child
// windows counts too) to report every drawing on screen. For each wall-clock second the
// first report that touches the clock's area counts: PANEL's rectangle for vellomarin,
// the whole window for xclock. Each report is timed (CLOCK_REALTIME) as soon as the X
// connection becomes readable. Prints "sample lag MS" per second and "info" counts.

#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

extern char** environ;

namespace {

int64_t nowNs(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

bool overlaps(const XRectangle& a, int x, int y, int w, int h) {
    return a.x < x + w && x < a.x + a.width && a.y < y + h && y < a.y + a.height;
}

int ignoreErrors(Display*, XErrorEvent*) {
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: damage_probe vellomarin|xclock SECONDS COMMAND [ARGS...]\n");
        return 2;
    }
    const bool isVellomarin = std::strcmp(argv[1], "vellomarin") == 0;
    const int seconds = std::atoi(argv[2]);
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "damage_probe: cannot open the display\n");
        return 1;
    }
    XSetErrorHandler(ignoreErrors);
    int damageEvent = 0;
    int damageError = 0;
    if (!XDamageQueryExtension(display, &damageEvent, &damageError)) {
        std::printf("info error the X server has no DAMAGE extension\n");
        return 1;
    }
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, False);

    pid_t child = 0;
    if (posix_spawnp(&child, argv[3], nullptr, nullptr, argv + 3, environ) != 0) {
        std::fprintf(stderr, "damage_probe: cannot start %s\n", argv[3]);
        return 1;
    }
    const auto finish = [&](int code) {
        kill(child, SIGTERM);
        int status = 0;
        waitpid(child, &status, 0);
        XCloseDisplay(display);
        return code;
    };

    Window mapped = 0;
    const int64_t started = nowNs(CLOCK_MONOTONIC);
    while (!mapped && nowNs(CLOCK_MONOTONIC) - started < 10'000'000'000) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == MapNotify && event.xmap.event == root && !event.xmap.override_redirect)
            mapped = event.xmap.window;
    }
    if (!mapped) {
        std::printf("info error no window was mapped\n");
        return finish(1);
    }
    sleep(2); // start-up paints done

    // The area watched, in root coordinates.
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, mapped, &attributes);
    int x = 0;
    int y = 0;
    Window unused = 0;
    XTranslateCoordinates(display, mapped, root, 0, 0, &x, &y, &unused);
    int w = attributes.width;
    int h = attributes.height;
    if (isVellomarin) { // PANEL lies 10 px in from the window's corner
        x += 10;
        y += 10;
        w = 181;
        h = 29;
    }
    XDamageCreate(display, root, XDamageReportRawRectangles);
    XSync(display, False);
    while (XPending(display)) { // drop what came before
        XEvent event;
        XNextEvent(display, &event);
    }

    // From the next whole second on, for `seconds` seconds.
    const int64_t first = nowNs(CLOCK_REALTIME) / 1'000'000'000 + 1;
    const int64_t end = first + seconds;
    int64_t lastSecond = first - 1;
    int counted = 0;
    int other = 0;
    const int fd = ConnectionNumber(display);
    for (;;) {
        const int64_t now = nowNs(CLOCK_REALTIME);
        if (now / 1'000'000'000 >= end)
            break;
        pollfd p{fd, POLLIN, 0};
        if (!XPending(display) && poll(&p, 1, 100) <= 0)
            continue;
        const int64_t at = nowNs(CLOCK_REALTIME);
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type != damageEvent + XDamageNotify)
                continue;
            const auto& damage = reinterpret_cast<const XDamageNotifyEvent&>(event);
            const int64_t second = at / 1'000'000'000;
            if (!overlaps(damage.area, x, y, w, h)) {
                ++other;
                continue;
            }
            if (second < first || second >= end || second == lastSecond)
                continue;
            lastSecond = second;
            ++counted;
            std::printf("sample lag %.3f\n", static_cast<double>(at % 1'000'000'000) / 1e6);
        }
    }
    std::printf("info seconds %d\ninfo seconds_drawn %d\ninfo other_reports %d\n", seconds, counted,
                other);
    return finish(0);
}
