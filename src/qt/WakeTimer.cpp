#include "WakeTimer.h"

#include "core/alarm/RingInstant.h"
#include "qt/WallClock.h"
#include "qt/ZoneWatch.h"
#include "wake/WakeMessage.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <optional>
#include <utility>

#include <sys/socket.h>
#include <sys/timerfd.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vellomarin {

WakeTimer::WakeTimer(std::optional<WakeHelper> helper, QObject* parent)
    : QObject(parent), helper_(std::move(helper)) {
    if (!helper_)
        return;
    // Readable once the helper has ended: without the capability it ends at once.
    helperEnd_ = new QSocketNotifier(helper_->ended, QSocketNotifier::Read, this);
    connect(helperEnd_, &QSocketNotifier::activated, this, &WakeTimer::helperEnded);
}

WakeTimer::~WakeTimer() {
    disarm();
    // The helper ends as its channel closes; whoever inherits it once the program has
    // ended reaps it.
    releaseHelper();
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
    const auto at =
        helper_ || resting_ ? WakeInstant(yotei_, WallClockMs(), LocalOffsetMs) : std::nullopt;
    if (!at) {
        disarm();
        return;
    }
    if (fd_ < 0)
        fd_ = timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
    const itimerspec schedule{{}, TimespecFromMs(*at)};
    // Refused: the next change of YOTEI tries again.
    if (fd_ < 0 || timerfd_settime(fd_, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &schedule,
                                   nullptr) != 0) {
        disarm();
        return;
    }
    tellHelper(at);
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
    if (fd_ >= 0)
        tellHelper(std::nullopt);
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

void WakeTimer::tellHelper(std::optional<int64_t> atMs) {
    if (!helper_)
        return;
    const WakeMessage message = EncodeWakeRequest(atMs);
    // Never waits: a helper that has ended refuses it (EPIPE, with no signal), and
    // helperEnded() follows; one that has stopped reading is of no use anyway.
    static_cast<void>(
        send(helper_->channel, message.data(), message.size(), MSG_NOSIGNAL | MSG_DONTWAIT));
}

// From here on nothing wakes the machine, and the resting clock goes on by this timer.
void WakeTimer::helperEnded() {
    helperEnd_->setEnabled(false);
    helperEnd_->deleteLater();
    helperEnd_ = nullptr;
    waitpid(helper_->pid, nullptr, WNOHANG); // it has ended: this reaps it at once
    releaseHelper();
    arm();
}

void WakeTimer::releaseHelper() {
    if (!helper_)
        return;
    close(helper_->channel);
    close(helper_->ended);
    helper_.reset();
}

} // namespace vellomarin
