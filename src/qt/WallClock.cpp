#include "WallClock.h"

#include <ctime>

namespace vellomarin {

int64_t WallClockMs() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1'000'000;
}

} // namespace vellomarin
