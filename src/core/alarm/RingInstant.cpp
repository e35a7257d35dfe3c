#include "RingInstant.h"

#include "core/Timing.h"
#include "core/alarm/Watch.h"
#include "core/clock/TimeText.h"

namespace vellomarin {

namespace {

constexpr int64_t kMsPerDay = int64_t{kSecondsPerDay} * 1000;

int64_t floorMod(int64_t a, int64_t b) {
    return ((a % b) + b) % b;
}

int32_t secondOfDay(int64_t localMs) {
    return static_cast<int32_t>(floorMod(localMs, kMsPerDay) / 1000);
}

// The first wall instant at or after `fromMs` (`after`: strictly after) whose local time,
// at offset `offset`, begins second `alarmSecond`.
int64_t occurrence(int64_t fromMs, bool after, int32_t alarmSecond, int64_t offset) {
    const int64_t local = fromMs + offset;
    int64_t at = local - floorMod(local, kMsPerDay) + int64_t{alarmSecond} * 1000;
    if (at < local || (after && at == local))
        at += kMsPerDay;
    return at - offset;
}

// The first instant in (fromMs, toMs] whose offset is not `offset`: offsets change
// rarely, so the first change is found by halving.
int64_t firstChange(int64_t fromMs, int64_t toMs, int64_t offset, const LocalOffsetAt& offsetAt) {
    while (toMs - fromMs > 1) {
        const int64_t mid = fromMs + (toMs - fromMs) / 2;
        (offsetAt(mid) == offset ? fromMs : toMs) = mid;
    }
    return toMs;
}

} // namespace

int64_t NextRingInstant(int64_t wallNowMs, int32_t alarmSecond, const LocalOffsetAt& offsetAt) {
    int64_t from = wallNowMs;
    int64_t offset = offsetAt(from);
    bool after = true;
    // Each pass crosses one change of offset; a handful cover any real zone's rules.
    for (int changes = 0; changes < 8; ++changes) {
        const int64_t at = occurrence(from, after, alarmSecond, offset);
        if (offsetAt(at) == offset)
            return at;
        const int64_t change = firstChange(from, at, offset, offsetAt);
        const int64_t next = offsetAt(change);
        // The tick at the change shows the new time; the watch compares it with the
        // second shown before, as after any step of the clock.
        if (AlarmDue(secondOfDay(change + offset - 1000), secondOfDay(change + next), alarmSecond))
            return change;
        from = change;
        offset = next;
        after = false;
    }
    return occurrence(from, after, alarmSecond, offset);
}

std::optional<int64_t> WakeInstant(QStringView yotei, int64_t wallNowMs,
                                   const LocalOffsetAt& offsetAt) {
    const auto alarm = ParseTimeText(yotei);
    if (!alarm)
        return std::nullopt;
    const int64_t ring = NextRingInstant(wallNowMs, SecondsOfDay(*alarm), offsetAt);
    return ring - kWakeLeadMs > wallNowMs ? ring - kWakeLeadMs : ring;
}

} // namespace vellomarin
