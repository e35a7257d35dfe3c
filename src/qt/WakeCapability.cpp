#include "WakeCapability.h"

#include <cap-ng.h>
#include <linux/capability.h>

namespace vellomarin {

bool KeepOnlyWakeAlarmCapability() {
    if (capng_get_caps_process() != 0)
        return false;
    const bool held = capng_have_capability(CAPNG_PERMITTED, CAP_WAKE_ALARM) != 0;
    capng_clear(CAPNG_SELECT_ALL);
    if (held)
        capng_update(CAPNG_ADD, CAPNG_PERMITTED, CAP_WAKE_ALARM);
    // Dropping needs no privilege; the bounding set is left as it is, since changing it
    // would need CAP_SETPCAP, and nothing can be raised past the permitted set anyway.
    const bool applied = capng_apply(CAPNG_SELECT_CAPS) == 0;
    capng_apply(CAPNG_SELECT_AMBIENT);
    return held && applied;
}

WakeAlarmRaised::WakeAlarmRaised() {
    capng_update(CAPNG_ADD, CAPNG_EFFECTIVE, CAP_WAKE_ALARM);
    capng_apply(CAPNG_SELECT_CAPS);
}

WakeAlarmRaised::~WakeAlarmRaised() {
    capng_update(CAPNG_DROP, CAPNG_EFFECTIVE, CAP_WAKE_ALARM);
    capng_apply(CAPNG_SELECT_CAPS);
}

} // namespace vellomarin
