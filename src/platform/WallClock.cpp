#include "WallClock.h"

#include <ctime>

namespace vellomarin {

int64_t WallClockNs() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

} // namespace vellomarin
