#include "PhasedTimer.h"

#include "platform/WallClock.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstdint>

#ifdef __linux__
#include <sys/timerfd.h>
#include <unistd.h>
#endif

namespace vellomarin {

namespace {
#ifdef __linux__
timespec fromMs(int64_t ms) {
    return {static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1'000'000};
}
#endif
} // namespace

PhasedTimer::PhasedTimer(int periodMs, int offsetMs, QObject* parent)
    : QObject(parent), phase_(periodMs, offsetMs) {
    timer_.setSingleShot(true);
    // Coarse timers may fire up to 5 % of the interval early or late.
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &PhasedTimer::fire);

#ifdef __linux__
    fd_ = timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
    if (fd_ >= 0) {
        notifier_ = new QSocketNotifier(static_cast<qintptr>(fd_), QSocketNotifier::Read, this);
        notifier_->setEnabled(false);
        connect(notifier_, &QSocketNotifier::activated, this, &PhasedTimer::expired);
    }
#endif
}

PhasedTimer::~PhasedTimer() {
    dropKernelTimer();
}

void PhasedTimer::setEnabled(bool enabled) {
    if (enabled == enabled_)
        return;
    enabled_ = enabled;
    if (enabled) {
        if (armKernelTimer())
            return;
        const int64_t now = WallClockMs();
        phase_.start(now);
        arm(now);
    } else {
        disarmKernelTimer();
        timer_.stop();
    }
}

bool PhasedTimer::armKernelTimer() {
#ifdef __linux__
    if (fd_ < 0)
        return false;
    phase_.start(WallClockMs());
    itimerspec due{};
    due.it_value = fromMs(phase_.target());
    due.it_interval = fromMs(phase_.period());
    // Absolute on the wall clock, so it never fires before the instant, follows the
    // clock's slewing, and reports any step of the clock as ECANCELED.
    if (timerfd_settime(fd_, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &due, nullptr) != 0) {
        // A kernel without the cancel flag: the QTimer path copes with clock steps.
        dropKernelTimer();
        return false;
    }
    notifier_->setEnabled(true);
    return true;
#else
    return false;
#endif
}

void PhasedTimer::disarmKernelTimer() {
#ifdef __linux__
    if (fd_ < 0)
        return;
    notifier_->setEnabled(false);
    // Disarming also forgets expirations not yet read.
    const itimerspec off{};
    timerfd_settime(fd_, 0, &off, nullptr);
#endif
}

void PhasedTimer::dropKernelTimer() {
#ifdef __linux__
    if (fd_ < 0)
        return;
    delete notifier_;
    notifier_ = nullptr;
    close(fd_);
    fd_ = -1;
#endif
}

void PhasedTimer::expired() {
#ifdef __linux__
    uint64_t expirations = 0;
    if (read(fd_, &expirations, sizeof expirations) == sizeof expirations) {
        // Ticks missed while the thread was busy come once, late, as a QTimer's would.
        if (enabled_)
            Q_EMIT timeout();
        return;
    }
    if (errno == ECANCELED && enabled_) {
        // The wall clock was set: the next tick is the next instant after the new time.
        if (!armKernelTimer()) {
            const int64_t now = WallClockMs();
            phase_.start(now);
            arm(now);
        }
    }
    // EAGAIN: nothing expired (a stale wake-up); no tick.
#endif
}

void PhasedTimer::arm(int64_t wallNowMs) {
    timer_.start(static_cast<int>(phase_.delayUntilTarget(wallNowMs)));
}

void PhasedTimer::fire() {
    const int64_t now = WallClockMs();
    phase_.next(now);
    arm(now);
    Q_EMIT timeout();
}

} // namespace vellomarin
