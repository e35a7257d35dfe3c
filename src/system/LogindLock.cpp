#include "LogindLock.h"

#include <QSocketNotifier>

#include <systemd/sd-bus.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <time.h>
#include <unistd.h>

namespace vellomarin {

namespace {

// Blocks what would put the machine to sleep while it rings: a suspend asked by the
// desktop or anyone else (sleep), logind's own IdleAction (idle), and logind's lid
// handling (handle-lid-switch), which by default (LidSwitchIgnoreInhibited=yes) heeds
// no sleep lock: a laptop woken for the alarm with its lid shut would otherwise be put
// back to sleep once logind's holdoff after the wake-up has passed. A suspend or power
// key is the user's own wish, and is left to act.
constexpr const char* kEverything = "sleep:idle:handle-lid-switch";
// What polkit may still allow where it refuses the lid (handle-lid-switch needs a
// right of its own).
constexpr const char* kSleepAndIdle = "sleep:idle";

// From the connect to the answer; D-Bus's own default for a call. logind answers at
// once, and polkit, asked for no interaction, soon. sd-bus's own time-out for the
// connection's set-up is longer (90 s), and its call's only counts once that is done.
constexpr uint64_t kAnswerTimeoutUs = 25'000'000;

// sd-bus's time-outs are on this clock.
uint64_t monotonicUs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint64_t(now.tv_sec) * 1'000'000 + uint64_t(now.tv_nsec) / 1'000;
}

} // namespace

struct LogindLock::Answer {
    static int take(sd_bus_message* reply, void* self, sd_bus_error* error);
};

LogindLock::LogindLock(QObject* parent) : QObject(parent) {
    due_.setSingleShot(true);
    connect(&due_, &QTimer::timeout, this, &LogindLock::process);
}

LogindLock::~LogindLock() {
    setHeld(false);
}

void LogindLock::setHeld(bool held) {
    if (!held) {
        // A question still open goes with its connection: an answer to come is not
        // delivered, and the bus closes the descriptor it carried.
        closeBus();
        if (lock_ >= 0)
            close(lock_);
        lock_ = -1;
        return;
    }
    if (bus_ || lock_ >= 0)
        return;
    // Connects without waiting: the socket is non-blocking, and the authentication and
    // the bus's Hello go out as the event loop finds the socket ready.
    if (sd_bus_open_system(&bus_) < 0) {
        bus_ = nullptr;
        return;
    }
    answered_ = false;
    giveUpUs_ = monotonicUs() + kAnswerTimeoutUs;
    if (!ask(kEverything)) {
        closeBus();
        return;
    }
    process();
}

bool LogindLock::ask(const char* what) {
    sd_bus_message* call = nullptr;
    int r = sd_bus_message_new_method_call(bus_, &call, "org.freedesktop.login1",
                                           "/org/freedesktop/login1",
                                           "org.freedesktop.login1.Manager", "Inhibit");
    if (r >= 0)
        r = sd_bus_message_append(call, "ssss", what, "Vellomarin", "目覚ましが鳴っています",
                                  "block");
    if (r >= 0)
        r = sd_bus_call_async(bus_, nullptr, call, &Answer::take, this, kAnswerTimeoutUs);
    sd_bus_message_unref(call);
    askedAll_ = std::strcmp(what, kEverything) == 0;
    return r >= 0;
}

int LogindLock::Answer::take(sd_bus_message* reply, void* self, sd_bus_error*) {
    auto* lock = static_cast<LogindLock*>(self);
    if (sd_bus_message_is_method_error(reply, nullptr)) {
        // Refused by logind itself (polkit's AccessDenied, or its
        // InteractiveAuthorizationRequired): ask for less. A time-out, a lost connection
        // or a missing service is told by the bus, or by sd-bus in the bus's name, and
        // ends the question.
        const char* sender = sd_bus_message_get_sender(reply);
        if (lock->askedAll_ && sender && std::strcmp(sender, "org.freedesktop.DBus") != 0 &&
            lock->ask(kSleepAndIdle))
            return 0;
        lock->answered_ = true;
        return 0;
    }
    lock->answered_ = true;
    int fd = -1;
    // The reply's descriptor closes with the reply.
    if (sd_bus_message_read(reply, "h", &fd) > 0)
        lock->lock_ = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    return 0;
}

void LogindLock::process() {
    if (!bus_)
        return;
    // Closed here, not in Answer::take(), which sd-bus calls from inside.
    int r;
    do
        r = sd_bus_process(bus_, nullptr);
    while (r > 0 && !answered_);
    const uint64_t now = monotonicUs();
    const int fd = r < 0 || answered_ || now >= giveUpUs_ ? -1 : sd_bus_get_fd(bus_);
    const int events = fd < 0 ? -1 : sd_bus_get_events(bus_);
    uint64_t until = UINT64_MAX;
    if (events < 0 || sd_bus_get_timeout(bus_, &until) < 0) {
        closeBus();
        return;
    }
    if (!readable_ || readable_->socket() != fd) {
        closeNotifiers();
        readable_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        writable_ = new QSocketNotifier(fd, QSocketNotifier::Write, this);
        connect(readable_, &QSocketNotifier::activated, this, &LogindLock::process);
        connect(writable_, &QSocketNotifier::activated, this, &LogindLock::process);
    }
    readable_->setEnabled(events & POLLIN);
    writable_->setEnabled(events & POLLOUT);
    until = std::min(until, giveUpUs_);
    const uint64_t waitMs = until > now ? (until - now + 999) / 1000 : 0;
    due_.start(int(std::min<uint64_t>(waitMs, INT_MAX)));
}

void LogindLock::closeNotifiers() {
    for (QSocketNotifier** notifier : {&readable_, &writable_}) {
        if (*notifier) {
            (*notifier)->setEnabled(false);
            (*notifier)->deleteLater();
            *notifier = nullptr;
        }
    }
}

void LogindLock::closeBus() {
    due_.stop();
    closeNotifiers();
    // Not flushed: nothing waits for the bus.
    bus_ = sd_bus_close_unref(bus_);
}

} // namespace vellomarin
