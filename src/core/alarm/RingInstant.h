#pragma once

#include <QStringView>

#include <cstdint>
#include <functional>
#include <optional>

namespace vellomarin {

// The local time's offset from the wall clock (ms) at a wall instant (ms since the
// epoch): the zone's offset, daylight saving included.
using LocalOffsetAt = std::function<int64_t(int64_t wallMs)>;

// The first wall instant after `wallNowMs` at which the watch rings for an alarm at
// local second of day `alarmSecond`, as the clock runs from now on: where the local
// time shows that second, or where daylight saving or a new zone moves the local time
// forward over it. A time of day already passed today is tomorrow's. Local time moved
// back (the autumn hour) is followed too: the hour shown again rings in it.
int64_t NextRingInstant(int64_t wallNowMs, int32_t alarmSecond, const LocalOffsetAt& offsetAt);

// Where the wake timer is armed for the time in YOTEI (`yotei`), nothing when it is
// empty: kWakeLeadMs before the ringing, or at the ringing itself once that lead has
// begun, so that a machine put back to sleep after the first wake wakes again for the
// second itself.
std::optional<int64_t> WakeInstant(QStringView yotei, int64_t wallNowMs,
                                   const LocalOffsetAt& offsetAt);

} // namespace vellomarin
