#pragma once

namespace vellomarin {

// CAP_WAKE_ALARM lets a timer wake the machine from sleep. It is the one privilege the
// program keeps, whichever way it came: ambient (systemd gives it to local sessions),
// or from the binary's file capability, permitted only or effective.
//
// Call first in main(), before any thread starts: each thread has its own sets and a
// new one copies its creator's. Keeps CAP_WAKE_ALARM in the permitted set if the
// process has it, drops every other capability, and empties the effective, inheritable
// and ambient sets, so nothing passes to a child. Returns whether it was kept.
bool KeepOnlyWakeAlarmCapability();

// CAP_WAKE_ALARM effective on this thread for the guard's life: the kernel checks it
// when a wake timer is created and whenever one is set.
class WakeAlarmRaised {
public:
    WakeAlarmRaised();
    ~WakeAlarmRaised();
    WakeAlarmRaised(const WakeAlarmRaised&) = delete;
    WakeAlarmRaised& operator=(const WakeAlarmRaised&) = delete;
};

} // namespace vellomarin
