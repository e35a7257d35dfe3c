#include "PhasedTimer.h"

#include "qt/WallClock.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstdint>
#include <system_error>
#include <utility>

#include <sys/timerfd.h>
#include <unistd.h>

namespace vellomarin {

namespace {

timespec fromMs(int64_t ms) {
    // Instants before the epoch keep a non-negative nanosecond part.
    int64_t seconds = ms / 1000;
    int64_t rest = ms % 1000;
    if (rest < 0) {
        rest += 1000;
        --seconds;
    }
    return {static_cast<time_t>(seconds), static_cast<long>(rest * 1'000'000)};
}

} // namespace

PhasedTimer::PhasedTimer(int64_t periodMs, int64_t offsetMs, QObject* parent,
                         std::function<int64_t()> wallClockMs)
    : QObject(parent), policy_(periodMs, offsetMs),
      wallClockMs_(wallClockMs ? std::move(wallClockMs) : WallClockMs),
      fd_(timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC)) {
    if (fd_ < 0)
        throw std::system_error(errno, std::generic_category(), "timerfd_create");
    notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
    notifier_->setEnabled(false);
    connect(notifier_, &QSocketNotifier::activated, this, &PhasedTimer::onReadable);
}

PhasedTimer::~PhasedTimer() {
    delete notifier_; // before the descriptor it watches
    close(fd_);
}

void PhasedTimer::setEnabled(bool enabled) {
    if (enabled == enabled_)
        return;
    enabled_ = enabled;
    if (resting_)
        return;
    if (enabled) {
        arm();
    } else {
        const itimerspec off{};
        timerfd_settime(fd_, 0, &off, nullptr);
    }
    notifier_->setEnabled(enabled);
}

void PhasedTimer::setResting(bool resting) {
    if (resting == resting_)
        return;
    const bool enabled = enabled_;
    setEnabled(false);
    resting_ = resting;
    setEnabled(enabled);
    if (enabled && !resting)
        Q_EMIT timeout();
}

void PhasedTimer::arm() {
    const itimerspec schedule{fromMs(policy_.period()), fromMs(policy_.firstAfter(wallClockMs_()))};
    // Only bad arguments fail here, and these are built to be valid.
    timerfd_settime(fd_, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &schedule, nullptr);
}

TickPolicy::Wake PhasedTimer::wakeFromRead(long result, int error) {
    if (result == static_cast<long>(sizeof(uint64_t)))
        return TickPolicy::Wake::Expired;
    if (result < 0 && error == ECANCELED)
        return TickPolicy::Wake::ClockSet;
    return TickPolicy::Wake::Nothing;
}

void PhasedTimer::onReadable() {
    uint64_t expirations = 0; // several when the thread was busy: still one tick
    const ssize_t result = read(fd_, &expirations, sizeof expirations);
    const TickPolicy::Response response = TickPolicy::respond(wakeFromRead(result, errno));
    if (response.rearm)
        arm();
    if (response.tick)
        Q_EMIT timeout();
}

} // namespace vellomarin
