// The least that the window's wake-ups cost on this machine: a thread that sleeps until
// the clock's instant (1 ms after each second), wakes, and does nothing else.
// bench/run.py watches it beside the real binary, so the idle CPU figure can be read
// against what the wake-up alone costs. It sleeps in poll() with a timeout, as Qt's
// event loop does.

#include <poll.h>

#include <cstdint>
#include <ctime>

namespace {

constexpr int64_t kNsPerMs = 1'000'000;

// The first instant after `now` with instant mod period == offset.
int64_t nextInstant(int64_t now, int64_t period, int64_t offset) {
    return ((now - offset) / period + 1) * period + offset;
}

} // namespace

int main() {
    for (;;) {
        timespec ts{};
        clock_gettime(CLOCK_REALTIME, &ts);
        const int64_t now = static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
        const int64_t wake = nextInstant(now, 1000 * kNsPerMs, 1 * kNsPerMs);
        // Rounded up, so the wake-up never comes before the instant.
        poll(nullptr, 0, static_cast<int>((wake - now + kNsPerMs - 1) / kNsPerMs));
    }
}
