#include "Entry.h"

#include "core/alarm/NumberReader.h"
#include "core/alarm/Presets.h"
#include "core/alarm/Schedule.h"
#include "core/clock/TimeText.h"

#include <array>
#include <cmath>

namespace vellomarin {

void Settei_Click(Platform& platform, ClockState& state) {
    // PANEL always holds a time text; without one there is no clock time to compose from.
    const auto shown = ParseTimeText(platform.labelCaption(LabelId::PANEL));
    if (!shown)
        return;
    state.SetHour = shown->hour;
    state.SetMin = shown->minute;
    state.SetSec = 0;

    struct Binding {
        BoxId box;
        int16_t ClockState::*field;
        double upperBound;
    };
    static constexpr std::array<Binding, 3> kBoxes{{
        {BoxId::Hou, &ClockState::SetHour, 23.0},
        {BoxId::Min, &ClockState::SetMin, 59.0},
        {BoxId::Sec, &ClockState::SetSec, 59.0},
    }};

    for (const Binding& b : kBoxes) {
        const QString text = platform.boxText(b.box);
        if (text.isEmpty())
            continue;
        const auto number = ReadLeadingNumber(text);
        if (number && *number >= 0.0 && *number <= b.upperBound) {
            // nearbyint rounds in the default mode: to nearest, a half to the even side.
            state.*b.field = static_cast<int16_t>(std::nearbyint(*number));
            state.EntryFlag = 1;
        }
        platform.setBoxText(b.box, QString());
    }

    if (state.EntryFlag == 1) {
        state.EntryFlag = 0;
        ShowScheduledTime(platform, state, *shown);
    } else {
        StepPresets(platform, state);
    }
}

} // namespace vellomarin
