#include "Schedule.h"

#include "core/clock/TimeText.h"

namespace vellomarin {

void ShowScheduledTime(Platform& platform, ClockState& state, const TimeOfDay& shownWhenSet) {
    platform.setLabelCaption(LabelId::YOTEI,
                             FormatTimeText(state.SetHour, state.SetMin, state.SetSec));
    // One second before the clock time of the click: the watch's next look then
    // covers that very second, even if the clock has moved on in between.
    state.CheckBefore = (SecondsOfDay(shownWhenSet) + kSecondsPerDay - 1) % kSecondsPerDay;
}

} // namespace vellomarin
