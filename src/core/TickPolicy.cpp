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

int64_t TickPolicy::delayUntilTarget(int64_t wallNowMs) const {
    const int64_t d = target_ - wallNowMs;
    return d > 0 ? d : 0;
}

int64_t TickPolicy::start(int64_t wallNowMs) {
    target_ = firstAfter(wallNowMs);
    return delayUntilTarget(wallNowMs);
}

int64_t TickPolicy::next(int64_t wallNowMs) {
    const int64_t following = target_ + period_;
    // Late by a period or more (the clock jumped forward), or the next one lies more
    // than a period away (the clock jumped back): pick the sequence up from now.
    if (following <= wallNowMs || following - wallNowMs > period_ + period_ / 2)
        target_ = firstAfter(wallNowMs);
    else
        target_ = following;
    return target_;
}

std::optional<int64_t> TickPolicy::onTick(int64_t wallNowMs, int64_t runningIntervalMs) {
    const int64_t late = wallNowMs - target_;
    next(wallNowMs);
    if (late < 0 || late > kOnPhaseMs)
        return delayUntilTarget(wallNowMs); // off its phase: a wait to the coming instant
    if (runningIntervalMs != period_)
        return period_; // the first tick after aiming: from here on, the period
    return std::nullopt;
}

} // namespace vellomarin
