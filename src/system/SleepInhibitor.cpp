#include "SleepInhibitor.h"

#include <systemd/sd-bus.h>

#include <cstdio>
#include <cstring>

namespace vellomarin {

namespace {

constexpr uint32_t kPortalSuspend = 4;
constexpr uint32_t kPortalIdle = 8;

// D-Bus's own default for a call.
constexpr uint64_t kAnswerTimeoutUs = 25'000'000;

} // namespace

struct SleepInhibitor::Answer {
    static int reply(sd_bus_message* reply, void* self, sd_bus_error* error);
    static int response(sd_bus_message* signal, void* self, sd_bus_error* error);
};

SleepInhibitor::SleepInhibitor(QObject* parent) : LoopBus(parent) {}

SleepInhibitor::~SleepInhibitor() {
    setHeld(false);
}

void SleepInhibitor::setHeld(bool held) {
    if (held == held_)
        return;
    held_ = held;
    logind_.setHeld(held);
    if (!held) {
        closeBus();
        return;
    }
    if (!open(&sd_bus_open_user, 0))
        return;
    portalDone_ = false;
    // The request's answer comes as its Response signal, which the portal sends to the
    // caller alone; listened for before the question goes out, and from the portal alone,
    // since any client of the bus may send a signal of that name.
    if (sd_bus_match_signal_async(bus_, nullptr, "org.freedesktop.portal.Desktop", nullptr,
                                  "org.freedesktop.portal.Request", "Response",
                                  &Answer::response, nullptr, this) < 0 ||
        !askPortal(kPortalSuspend | kPortalIdle)) {
        closeBus();
        return;
    }
    process();
}

bool SleepInhibitor::askPortal(uint32_t flags) {
    asked_ = flags;
    sd_bus_message* call = nullptr;
    int r = sd_bus_message_new_method_call(bus_, &call, "org.freedesktop.portal.Desktop",
                                           "/org/freedesktop/portal/desktop",
                                           "org.freedesktop.portal.Inhibit", "Inhibit");
    // No window: the program's one window is not for the portal to know.
    if (r >= 0)
        r = sd_bus_message_append(call, "sua{sv}", "", flags, 1, "reason", "s",
                                  "目覚ましが鳴っています");
    if (r >= 0)
        r = sd_bus_call_async(bus_, nullptr, call, &Answer::reply, this, kAnswerTimeoutUs);
    sd_bus_message_unref(call);
    return r >= 0;
}

void SleepInhibitor::portalRefused() {
    if (asked_ != kPortalIdle) {
        portalDone_ = !askPortal(kPortalIdle);
        return;
    }
    std::fputs("vellomarin: the desktop portal refused to keep the computer awake while the "
               "alarm rings\n",
               stderr);
    portalDone_ = true;
}

int SleepInhibitor::Answer::reply(sd_bus_message* reply, void* self, sd_bus_error*) {
    auto* inhibitor = static_cast<SleepInhibitor*>(self);
    if (!sd_bus_message_is_method_error(reply, nullptr))
        return 0; // the request is made; its Response tells whether it is granted
    // Refused by the portal itself. A time-out, a lost connection or a missing portal
    // is told by the bus, or by sd-bus in the bus's name, and ends the question.
    const char* sender = sd_bus_message_get_sender(reply);
    if (sender && std::strcmp(sender, "org.freedesktop.DBus") != 0)
        inhibitor->portalRefused();
    else
        inhibitor->portalDone_ = true;
    return 0;
}

int SleepInhibitor::Answer::response(sd_bus_message* signal, void* self, sd_bus_error*) {
    uint32_t response = 0;
    // 0 is granted; 1 cancelled, 2 refused (GTK's "Inhibiting other than idle not
    // supported").
    if (sd_bus_message_read(signal, "u", &response) > 0 && response != 0)
        static_cast<SleepInhibitor*>(self)->portalRefused();
    return 0;
}

} // namespace vellomarin
