#pragma once

namespace vellomarin {

// CAP_WAKE_ALARM lets a timer wake the machine from sleep. The wake helper is the one
// process that holds it, whichever way it came: from the helper's file capability
// (permitted only), or ambient from the window (systemd gives it to local sessions),
// which passes it on when it starts the helper and then drops it.
//
// In the helper, before it reads anything: keeps CAP_WAKE_ALARM in the permitted set if
// the process has it, drops every other capability, and empties the effective,
// inheritable and ambient sets. Returns whether it was kept and all the rest dropped.
bool KeepOnlyWakeAlarmCapability();

// CAP_WAKE_ALARM effective on this thread for the guard's life: the kernel checks it
// when a wake timer is created and whenever one is set.
class WakeAlarmRaised {
public:
    WakeAlarmRaised();
    ~WakeAlarmRaised();
    WakeAlarmRaised(const WakeAlarmRaised&) = delete;
    WakeAlarmRaised& operator=(const WakeAlarmRaised&) = delete;

    explicit operator bool() const { return raised_; }

private:
    bool raised_;
};

} // namespace vellomarin
