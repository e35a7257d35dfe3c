#include "WakeTimer.h"

#include "core/alarm/RingInstant.h"
#include "qt/WakeCapability.h"
#include "qt/WallClock.h"
#include "qt/ZoneWatch.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <optional>

#include <sys/timerfd.h>
#include <unistd.h>

namespace vellomarin {

WakeTimer::~WakeTimer() {
    disarm();
}

void WakeTimer::setAlarm(const QString& yotei) {
    yotei_ = yotei;
    arm();
}

void WakeTimer::setResting(bool resting) {
    resting_ = resting;
    arm();
}

void WakeTimer::arm() {
    tzset(); // the zone may have changed since the C library last read it
    const auto at = wakesMachine_ || resting_ ? WakeInstant(yotei_, WallClockMs(), LocalOffsetMs)
                                              : std::nullopt;
    if (!at) {
        disarm();
        return;
    }
    int result = -1;
    {
        std::optional<WakeAlarmRaised> raised;
        if (wakesMachine_)
            raised.emplace();
        if (fd_ < 0)
            fd_ = timerfd_create(wakesMachine_ ? CLOCK_REALTIME_ALARM : CLOCK_REALTIME,
                                 TFD_NONBLOCK | TFD_CLOEXEC);
        const itimerspec schedule{{}, TimespecFromMs(*at)};
        if (fd_ >= 0)
            result = timerfd_settime(fd_, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &schedule,
                                     nullptr);
    }
    // Refused (the capability gone, say): the next change of YOTEI tries again.
    if (result != 0) {
        disarm();
        return;
    }
    if (!notifier_) {
        notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, [this] {
            uint64_t expirations = 0;
            if (read(fd_, &expirations, sizeof expirations) < 0 &&
                (errno == EAGAIN || errno == EINTR))
                return;
            // It fired, the clock was set or the machine resumed (ECANCELED), or the read
            // failed: arming afresh covers them all.
            onWake();
        });
        zoneWatch_ = new ZoneWatch(this);
        connect(zoneWatch_, &ZoneWatch::zoneMayHaveChanged, this, &WakeTimer::onWake);
    }
}

void WakeTimer::onWake() {
    arm();
    if (resting_)
        Q_EMIT restingTick();
}

// This may run inside the notifier's or the zone watch's own signal: they are deleted once
// the event loop has them back, and the notifier is off before its descriptor closes.
void WakeTimer::disarm() {
    if (zoneWatch_)
        zoneWatch_->deleteLater();
    zoneWatch_ = nullptr;
    if (notifier_) {
        notifier_->setEnabled(false);
        notifier_->deleteLater();
    }
    notifier_ = nullptr;
    if (fd_ >= 0)
        close(fd_);
    fd_ = -1;
}

} // namespace vellomarin
