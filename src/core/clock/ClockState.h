#pragma once

#include <cstdint>

namespace vellomarin {

// The window's state record: what must survive from one event to the next.
// Everything else the program remembers lives in its controls.
struct ClockState {
    int16_t SetHour = 0; // time being composed for YOTEI: carried from a handler
    int16_t SetMin = 0;  //   to the text it writes, never read in a later event
    int16_t SetSec = 0;
    int16_t RingCount = 0;   // Alarm ticks so far in the current ringing
    int16_t EntryFlag = 0;   // 1 while a Settei click has accepted a box, else 0
    int16_t P5Minutes = 0;   // minutes P5 adds to the clock time
    int16_t P10Minutes = 0;  // minutes P10 adds to the clock time
    int16_t PresetLevel = 0; // 0 (3/5 minutes) to 5 (50/55 minutes)

    // The clock time, in seconds since midnight, that the watch last looked at:
    // the alarm rings for a scheduled time passed since then, even when the clock
    // skipped a second or jumped forward. kNoCheckBefore when the watch has not
    // looked yet since it (re)started, so its next look takes only the time it sees.
    int32_t CheckBefore = kNoCheckBefore;
    static constexpr int32_t kNoCheckBefore = -1;
};

} // namespace vellomarin
