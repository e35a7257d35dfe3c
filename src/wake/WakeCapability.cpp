#include "WakeCapability.h"

#include <cap-ng.h>
#include <linux/capability.h>

namespace vellomarin {

namespace {

// Dropping needs no privilege; the bounding set is left as it is, since changing it
// would need CAP_SETPCAP, and nothing can be raised past the permitted set anyway.
bool applyCapsAndAmbient() {
    const bool caps = capng_apply(CAPNG_SELECT_CAPS) == 0;
    const bool ambient = capng_apply(CAPNG_SELECT_AMBIENT) == 0;
    return caps && ambient;
}

bool setWakeAlarmEffective(capng_act_t action) {
    return capng_update(action, CAPNG_EFFECTIVE, CAP_WAKE_ALARM) == 0 &&
           capng_apply(CAPNG_SELECT_CAPS) == 0;
}

} // namespace

bool KeepOnlyWakeAlarmCapability() {
    if (capng_get_caps_process() != 0)
        return false;
    const bool held = capng_have_capability(CAPNG_PERMITTED, CAP_WAKE_ALARM) != 0;
    capng_clear(CAPNG_SELECT_ALL);
    if (held && capng_update(CAPNG_ADD, CAPNG_PERMITTED, CAP_WAKE_ALARM) != 0)
        return false;
    return applyCapsAndAmbient() && held;
}

WakeAlarmRaised::WakeAlarmRaised() : raised_(setWakeAlarmEffective(CAPNG_ADD)) {}

WakeAlarmRaised::~WakeAlarmRaised() {
    // Left effective, it would stay so for every later call: give up every capability
    // instead, and with it the wake timer (the helper's next arming is refused, and it
    // ends).
    if (raised_ && !setWakeAlarmEffective(CAPNG_DROP)) {
        capng_clear(CAPNG_SELECT_CAPS);
        static_cast<void>(capng_apply(CAPNG_SELECT_CAPS)); // nothing is left to try
    }
}

} // namespace vellomarin
