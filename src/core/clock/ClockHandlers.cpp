#include "ClockHandlers.h"

#include "core/clock/TimeText.h"

namespace vellomarin {

void Form_Load(Platform& platform, ClockState& state) {
    state.RingCount = 0;
    state.EntryFlag = 0;
    state.PresetLevel = 0;
    state.P5Minutes = 3;
    state.P10Minutes = 5;
    Jikoku_Timer(platform, state);
}

void Jikoku_Timer(Platform& platform, ClockState& /*state*/) {
    const TimeOfDay now = platform.localTime();
    platform.setLabelCaption(LabelId::PANEL, FormatTimeText(now.hour, now.minute, now.second));
}

} // namespace vellomarin
