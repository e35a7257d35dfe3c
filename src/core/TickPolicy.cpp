#include "TickPolicy.h"

namespace vellomarin {

namespace {
// Floor division that also holds for instants before the epoch.
int64_t floorDiv(int64_t a, int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}
} // namespace

int64_t TickPolicy::firstAfter(int64_t wallNowMs) const {
    return (floorDiv(wallNowMs - offset_, period_) + 1) * period_ + offset_;
}

} // namespace vellomarin
