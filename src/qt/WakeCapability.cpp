#include "WakeCapability.h"

#include <cap-ng.h>
#include <cstdio>
#include <linux/capability.h>

namespace vellomarin {

bool KeepOnlyWakeAlarmCapability() {
    if (capng_get_caps_process() != 0)
        return false;
    const bool held = capng_have_capability(CAPNG_PERMITTED, CAP_WAKE_ALARM) != 0;
    capng_clear(CAPNG_SELECT_ALL);
    const bool kept = held && capng_update(CAPNG_ADD, CAPNG_PERMITTED, CAP_WAKE_ALARM) == 0;
    // Dropping needs no privilege; the bounding set is left as it is, since changing it
    // would need CAP_SETPCAP, and nothing can be raised past the permitted set anyway.
    // Both are applied even when the first fails, so that as much as can be is dropped.
    const bool applied = capng_apply(CAPNG_SELECT_CAPS) == 0;
    const bool ambientCleared = capng_apply(CAPNG_SELECT_AMBIENT) == 0;
    return kept && applied && ambientCleared;
}

WakeAlarmRaised::WakeAlarmRaised() {
    // Nothing more to do when it is refused: the kernel then refuses the wake timer too,
    // and the timer's caller sees that.
    if (capng_update(CAPNG_ADD, CAPNG_EFFECTIVE, CAP_WAKE_ALARM) == 0 &&
        capng_apply(CAPNG_SELECT_CAPS) == 0)
        return;
}

WakeAlarmRaised::~WakeAlarmRaised() {
    if (capng_update(CAPNG_DROP, CAPNG_EFFECTIVE, CAP_WAKE_ALARM) == 0 &&
        capng_apply(CAPNG_SELECT_CAPS) == 0)
        return;
    // Left effective, it would stay so for every later call: give up every capability
    // instead, and with it the wake timer.
    capng_clear(CAPNG_SELECT_CAPS);
    if (capng_apply(CAPNG_SELECT_CAPS) != 0)
        std::fputs("vellomarin: could not lower CAP_WAKE_ALARM\n", stderr);
}

} // namespace vellomarin
