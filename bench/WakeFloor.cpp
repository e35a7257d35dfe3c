// The least that eleven wake-ups a second cost on this machine: two kernel timers on
// the phases of the window's clock and watch (1 ms after each second, 5 ms after each
// tenth), a poll, a read, and nothing else. bench/run.py watches it beside the real
// binary, so the idle CPU figure can be read against what the wake-ups alone cost.

#include <sys/timerfd.h>

#include <poll.h>
#include <unistd.h>

#include <cstdint>
#include <ctime>

namespace {

int phasedTimer(int64_t periodMs, int64_t offsetMs) {
    const int fd = timerfd_create(CLOCK_REALTIME, TFD_CLOEXEC);
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const int64_t nowMs = static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
    const int64_t first = ((nowMs - offsetMs) / periodMs + 1) * periodMs + offsetMs;
    itimerspec due{};
    due.it_value = {static_cast<time_t>(first / 1000), static_cast<long>(first % 1000) * 1'000'000};
    due.it_interval = {static_cast<time_t>(periodMs / 1000),
                       static_cast<long>(periodMs % 1000) * 1'000'000};
    timerfd_settime(fd, TFD_TIMER_ABSTIME, &due, nullptr);
    return fd;
}

} // namespace

int main() {
    pollfd fds[] = {{phasedTimer(1000, 1), POLLIN, 0}, {phasedTimer(100, 5), POLLIN, 0}};
    for (;;) {
        if (poll(fds, 2, -1) <= 0)
            continue;
        for (pollfd& p : fds)
            if (p.revents & POLLIN) {
                uint64_t expirations = 0;
                if (read(p.fd, &expirations, sizeof expirations) < 0)
                    return 1;
            }
    }
}
