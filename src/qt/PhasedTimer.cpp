#include "PhasedTimer.h"

#include "system/KernelCalls.h"
#include "system/WallClock.h"

#include <QSocketNotifier>

#include <cstdint>
#include <system_error>
#include <utility>

#include <sys/timerfd.h>
#include <unistd.h>

namespace vellomarin {

PhasedTimer::PhasedTimer(int64_t periodMs, int64_t offsetMs, QObject* parent,
                         std::function<int64_t()> wallClockMs)
    : QObject(parent), policy_(periodMs, offsetMs),
      wallClockMs_(wallClockMs ? std::move(wallClockMs) : WallClockMs),
      fd_(static_cast<int>(
          Checked(timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC), "timerfd_create"))) {
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
    if (!resting_)
        run(enabled);
    enabled_ = enabled;
}

void PhasedTimer::setResting(bool resting) {
    if (resting == resting_)
        return;
    if (enabled_) {
        try {
            run(!resting);
        } catch (const std::system_error& refusal) {
            // As a refused re-arm after a clock change: a clock that would never tick again.
            endOn(refusal);
            return;
        }
    }
    resting_ = resting;
    if (enabled_ && !resting)
        Q_EMIT timeout();
}

void PhasedTimer::run(bool running) {
    if (running) {
        arm();
    } else {
        const itimerspec off{};
        Checked(timerfd_settime(fd_, 0, &off, nullptr), "timerfd_settime");
    }
    notifier_->setEnabled(running);
}

void PhasedTimer::endOn(const std::system_error& refusal) {
    notifier_->setEnabled(false);
    EndOnRefusedTimer(refusal);
}

void PhasedTimer::arm() {
    const itimerspec schedule{TimespecFromMs(policy_.period()),
                              TimespecFromMs(policy_.firstAfter(wallClockMs_()))};
    // Refused by a kernel without cancel-on-set (before 3.0), or for an instant before
    // the epoch (a wall clock set before 1970).
    Checked(timerfd_settime(fd_, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &schedule, nullptr),
            "timerfd_settime");
}

TickPolicy::Wake PhasedTimer::wakeFromRead(long result, int error) {
    if (result == static_cast<long>(sizeof(uint64_t)))
        return TickPolicy::Wake::Expired;
    if (result == -1 && error == ECANCELED)
        return TickPolicy::Wake::ClockSet;
    if (result == -1 && (error == EAGAIN || error == EINTR))
        return TickPolicy::Wake::Nothing;
    // A descriptor gone wrong, which would also wake the thread again at once, for ever.
    throw std::system_error(result == -1 ? error : EIO, std::generic_category(), "read timerfd");
}

void PhasedTimer::onReadable() {
    TickPolicy::Response response{};
    try {
        uint64_t expirations = 0; // several when the thread was busy: still one tick
        const ssize_t result = read(fd_, &expirations, sizeof expirations);
        response = TickPolicy::respond(wakeFromRead(result, errno));
        if (response.rearm)
            arm();
    } catch (const std::system_error& refusal) {
        // Not retried on the next wake: the kernel took this very arming when the timer
        // was enabled, so a refusal now is a descriptor or a clock gone wrong that a
        // retry would meet again, and a refused re-arm leaves the timer on its old
        // instants, which after the clock is set back may be hours away. A clock that
        // stops without a word, and so never rings, is the fault; this says why and ends.
        endOn(refusal);
        return;
    }
    if (response.tick)
        Q_EMIT timeout();
}

} // namespace vellomarin
