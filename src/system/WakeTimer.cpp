#include "WakeTimer.h"

#include "core/alarm/RingInstant.h"
#include "system/WallClock.h"
#include "system/ZoneWatch.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>

#include <sys/socket.h>
#include <sys/timerfd.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vellomarin {

namespace {

void reportNoWaking(const std::string& why) {
    std::fprintf(stderr,
                 "vellomarin: the wake helper %s: a sleeping computer is not woken for the "
                 "alarm\n",
                 why.c_str());
}

// Off at once, and deleted once the event loop has it back: this may run inside its own
// signal, and its descriptor may close next.
void release(QSocketNotifier*& notifier) {
    if (notifier) {
        notifier->setEnabled(false);
        notifier->deleteLater();
    }
    notifier = nullptr;
}

} // namespace

WakeTimer::WakeTimer(WakeHelperStarter* starter, QObject* parent)
    : QObject(parent), starter_(starter && starter->answers() >= 0 ? starter : nullptr) {}

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
    if (yotei_.isEmpty() || !(mayWake() || resting_)) {
        disarm();
        return;
    }
    // Watched before the instant is reckoned, so that a zone changed in between re-arms.
    if (!zoneWatch_) {
        zoneWatch_ = new ZoneWatch(this);
        connect(zoneWatch_, &ZoneWatch::zoneMayHaveChanged, this, &WakeTimer::onWake);
    }
    tzset(); // the zone may have changed since the C library last read it
    const auto at = WakeInstant(yotei_, WallClockMs(), LocalOffsetMs);
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
    release(notifier_);
    if (fd_ >= 0)
        close(fd_);
    fd_ = -1;
}

void WakeTimer::tellHelper(std::optional<int64_t> atMs) {
    if (channel_ < 0 && !(atMs && startHelper()))
        return;
    unsent_ = EncodeWakeRequest(atMs);
    sendLatest();
}

void WakeTimer::sendLatest() {
    // Never waits. A full channel (a helper stopped, or still starting, with hundreds of
    // messages unread) keeps the message until it is writable; a helper that has ended
    // refuses it (EPIPE, with no signal), and helperEnded() follows.
    if (send(channel_, unsent_->data(), unsent_->size(), MSG_NOSIGNAL | MSG_DONTWAIT) >= 0 ||
        (errno != EAGAIN && errno != ENOBUFS && errno != EINTR))
        unsent_.reset();
    if (unsent_ && !writable_) {
        writable_ = new QSocketNotifier(channel_, QSocketNotifier::Write, this);
        connect(writable_, &QSocketNotifier::activated, this, &WakeTimer::sendLatest);
    }
    if (writable_)
        writable_->setEnabled(unsent_.has_value());
}

// The channel is made here and messages queue in it while the helper starts.
bool WakeTimer::startHelper() {
    int ends[2];
    // Datagrams keep each message whole, and the window's end closes on exec.
    if (!starter_ || socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) {
        if (starter_)
            reportNoWaking(std::string("has no channel (") + std::strerror(errno) + ")");
        starter_ = nullptr;
        return false;
    }
    channel_ = ends[0];
    helperNews_ = new QSocketNotifier(starter_->answers(), QSocketNotifier::Read, this);
    connect(helperNews_, &QSocketNotifier::activated, this, &WakeTimer::helperStarted);
    starter_->start(ends[1]);
    return true;
}

void WakeTimer::helperStarted() {
    const WakeHelperStart started = starter_->takeAnswer();
    starter_ = nullptr;
    release(helperNews_);
    if (started.error != 0) {
        reportNoWaking(std::string("cannot start (") + std::strerror(started.error) + ")");
        releaseHelper();
        arm();
        return;
    }
    helperPid_ = started.pid;
    helperEnd_ = started.ended;
    // Readable once it has ended; without the capability it ends at once.
    helperNews_ = new QSocketNotifier(helperEnd_, QSocketNotifier::Read, this);
    connect(helperNews_, &QSocketNotifier::activated, this, &WakeTimer::helperEnded);
}

// From here on nothing wakes the machine, and the resting clock goes on by this timer.
void WakeTimer::helperEnded() {
    int status = 0;
    // It has ended: this reaps it at once.
    if (waitpid(helperPid_, &status, WNOHANG) == helperPid_)
        reportNoWaking("ended: " + DescribeWakeHelperEnd(status));
    releaseHelper();
    arm();
}

void WakeTimer::releaseHelper() {
    release(helperNews_);
    release(writable_);
    unsent_.reset();
    for (int* fd : {&channel_, &helperEnd_}) {
        if (*fd >= 0)
            close(*fd);
        *fd = -1;
    }
    helperPid_ = -1;
}

} // namespace vellomarin
