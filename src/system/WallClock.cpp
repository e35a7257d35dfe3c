#include "WallClock.h"

#include <ctime>

namespace vellomarin {

int64_t WallClockMs() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1'000'000;
}

timespec TimespecFromMs(int64_t ms) {
    // Instants before the epoch keep a non-negative nanosecond part.
    int64_t seconds = ms / 1000;
    int64_t rest = ms % 1000;
    if (rest < 0) {
        rest += 1000;
        --seconds;
    }
    return {static_cast<time_t>(seconds), static_cast<long>(rest * 1'000'000)};
}

int64_t LocalOffsetMs(int64_t wallMs) {
    const time_t seconds = TimespecFromMs(wallMs).tv_sec;
    tm local{};
    if (!localtime_r(&seconds, &local))
        return 0;
    return static_cast<int64_t>(local.tm_gmtoff) * 1000;
}

} // namespace vellomarin
