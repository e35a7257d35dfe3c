#include "Events.h"

#include "core/alarm/Entry.h"
#include "core/alarm/Presets.h"
#include "core/alarm/Watch.h"
#include "core/clock/ClockHandlers.h"

namespace vellomarin {

void HandleEvent(Event event, Platform& platform, ClockState& state) {
    switch (event) {
    case Event::Load:
        Form_Load(platform, state);
        break;
    case Event::JikokuTick:
        Jikoku_Timer(platform, state);
        break;
    case Event::AlarmTick:
        Alarm_Timer(platform, state);
        break;
    case Event::SetteiClick:
        Settei_Click(platform, state);
        break;
    case Event::P5Click:
        P5_Click(platform, state);
        break;
    case Event::P10Click:
        P10_Click(platform, state);
        break;
    case Event::CancelClick:
        Cancel_Click(platform, state);
        break;
    }
    Check_Timer(platform, state);
}

} // namespace vellomarin
