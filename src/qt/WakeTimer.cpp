#include "WakeTimer.h"

#include "core/alarm/RingInstant.h"
#include "qt/WakeCapability.h"
#include "qt/WallClock.h"

#include <QFileSystemWatcher>
#include <QSocketNotifier>

#include <cerrno>
#include <cstdint>
#include <ctime>

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

void WakeTimer::arm() {
    tzset(); // the zone may have changed since the C library last read it
    const auto at = WakeInstant(yotei_, WallClockMs(), LocalOffsetMs);
    if (!at) {
        disarm();
        return;
    }
    int result = -1;
    {
        WakeAlarmRaised raised;
        if (fd_ < 0)
            fd_ = timerfd_create(CLOCK_REALTIME_ALARM, TFD_NONBLOCK | TFD_CLOEXEC);
        const itimerspec schedule{{}, TimespecFromMs(*at)};
        if (fd_ >= 0)
            result = timerfd_settime(fd_, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &schedule,
                                     nullptr);
    }
    // Refused (the capability gone, say): the alarm still rings when the machine is up,
    // and the next change of YOTEI tries again.
    if (result != 0) {
        disarm();
        return;
    }
    if (!notifier_) {
        notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, &WakeTimer::onReadable);
        // A new zone replaces /etc/localtime; the directory sees that, and is otherwise
        // quiet.
        zoneWatcher_ = new QFileSystemWatcher({QStringLiteral("/etc")}, this);
        connect(zoneWatcher_, &QFileSystemWatcher::directoryChanged, this, &WakeTimer::arm);
    }
}

void WakeTimer::disarm() {
    delete zoneWatcher_;
    zoneWatcher_ = nullptr;
    delete notifier_; // before the descriptor it watches
    notifier_ = nullptr;
    if (fd_ >= 0)
        close(fd_);
    fd_ = -1;
}

void WakeTimer::onReadable() {
    uint64_t expirations = 0;
    const ssize_t result = read(fd_, &expirations, sizeof expirations);
    if (result < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    // It fired (armed next at the second itself, or for tomorrow), the clock was set or
    // the machine resumed (ECANCELED), or the read failed: arming afresh covers them all.
    arm();
}

} // namespace vellomarin
