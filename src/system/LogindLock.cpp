#include "LogindLock.h"

#include <systemd/sd-bus.h>

#include <cstdint>
#include <cstring>

#include <fcntl.h>
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

} // namespace

struct LogindLock::Answer {
    static int take(sd_bus_message* reply, void* self, sd_bus_error* error);
};

LogindLock::LogindLock(QObject* parent) : LoopBus(parent) {}

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
    if (!open(&sd_bus_open_system, kAnswerTimeoutUs))
        return;
    answered_ = false;
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

} // namespace vellomarin
