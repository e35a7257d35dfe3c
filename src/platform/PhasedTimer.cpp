#include "PhasedTimer.h"

#include "platform/WallClock.h"

#include <QSocketNotifier>

#include <cstdint>

#ifdef __linux__
#include <sys/timerfd.h>
#include <unistd.h>
#endif

namespace vellomarin {

namespace {
// How far past its instant, on the wall clock in whole ms, a tick may come and still
// be on its phase: Qt waits in whole ms, and waking up takes a little more.
constexpr int64_t kOnPhaseMs = 2;
} // namespace

PhasedTimer::PhasedTimer(int periodMs, int offsetMs, QObject* parent)
    : QObject(parent), phase_(periodMs, offsetMs) {
    // Coarse timers may fire up to 5 % of the interval early or late.
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &PhasedTimer::fire);
#ifdef __linux__
    fd_ = timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
    if (fd_ >= 0) {
        notifier_ = new QSocketNotifier(static_cast<qintptr>(fd_), QSocketNotifier::Read, this);
        notifier_->setEnabled(false);
        connect(notifier_, &QSocketNotifier::activated, this, &PhasedTimer::startAtInstant);
    }
#endif
}

PhasedTimer::~PhasedTimer() {
#ifdef __linux__
    if (fd_ >= 0) {
        delete notifier_;
        close(fd_);
    }
#endif
}

void PhasedTimer::setEnabled(bool enabled) {
    if (enabled == enabled_)
        return;
    enabled_ = enabled;
    if (enabled) {
        const int64_t now = WallClockMs();
        phase_.start(now);
        aim(now);
    } else {
        timer_.stop();
        disarmKernelTimer();
    }
}

void PhasedTimer::aim(int64_t wallNowMs) {
    timer_.stop();
    if (armKernelTimer())
        return;
    // Without the kernel timer: a wait to the coming instant; the tick there starts
    // the period, a little late.
    timer_.start(static_cast<int>(phase_.delayUntilTarget(wallNowMs)));
}

bool PhasedTimer::armKernelTimer() {
#ifdef __linux__
    if (fd_ < 0)
        return false;
    const int64_t at = phase_.target();
    itimerspec due{};
    due.it_value = {static_cast<time_t>(at / 1000), static_cast<long>(at % 1000) * 1'000'000};
    // Absolute on the wall clock, so it never fires before the instant; a step of the
    // clock while it waits reports ECANCELED instead of a wait of the step's length.
    if (timerfd_settime(fd_, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &due, nullptr) != 0) {
        delete notifier_;
        notifier_ = nullptr;
        close(fd_);
        fd_ = -1;
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
    const itimerspec off{};
    timerfd_settime(fd_, 0, &off, nullptr);
#endif
}

void PhasedTimer::startAtInstant() {
#ifdef __linux__
    uint64_t expirations = 0;
    const bool expired = read(fd_, &expirations, sizeof expirations) == sizeof expirations;
    notifier_->setEnabled(false);
    if (!enabled_)
        return;
    const int64_t now = WallClockMs();
    if (!expired) {
        // The wall clock was set while waiting (or nothing expired): aim afresh.
        phase_.start(now);
        aim(now);
        return;
    }
    phase_.next(now);
    timer_.start(static_cast<int>(phase_.period()));
    Q_EMIT timeout();
#endif
}

void PhasedTimer::fire() {
    const int64_t now = WallClockMs();
    const int64_t late = now - phase_.target();
    phase_.next(now);
    if (late < 0 || late > kOnPhaseMs)
        aim(now);
    else if (timer_.interval() != phase_.period())
        timer_.start(static_cast<int>(phase_.period()));
    Q_EMIT timeout();
}

} // namespace vellomarin
