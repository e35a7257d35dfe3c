// How soon the clock label shows the time after the wall clock is set or the machine
// resumes, on the fake platform of the tests (simulated ms): the real clock of this
// shared machine cannot be set. The fake's timer wakes the thread kWakeDelayMs after
// each of its instants; the response is the time from the fault until PANEL shows the
// time again, after a tick. Prints "wake_delay MS" and "response KIND MS" lines for
// bench/run.py.

#include "fake/FakePlatform.h"

#include "core/clock/TimeText.h"

#include <cstdio>

namespace vellomarin::test {
namespace {

constexpr int64_t kWakeDelayMs = 1;

enum class Fault { StepForward, StepBack, Suspend };

int64_t response(Fault fault, int64_t ms, int64_t startsAt) {
    FakePlatform p(At(6, 0, 0, 400));
    p.setWakeDelay(kWakeDelayMs);
    p.load();
    p.runFor(1600 + startsAt);
    const int64_t ticks = p.ticks(TimerId::Jikoku);
    const int64_t from = p.monoMs();
    switch (fault) {
    case Fault::StepForward:
        p.stepWall(ms);
        break;
    case Fault::StepBack:
        p.stepWall(-ms);
        break;
    case Fault::Suspend:
        p.suspend(ms);
        break;
    }
    p.runUntil(
        [&] {
            const TimeOfDay now = p.localTime();
            return p.ticks(TimerId::Jikoku) > ticks &&
                   p.labelCaption(LabelId::PANEL) ==
                       FormatTimeText(now.hour, now.minute, now.second);
        },
        2000);
    return p.monoMs() - from;
}

} // namespace
} // namespace vellomarin::test

int main() {
    using namespace vellomarin::test;
    std::printf("wake_delay %lld\n", static_cast<long long>(kWakeDelayMs));
    const std::pair<Fault, const char*> kinds[] = {
        {Fault::StepForward, "step_forward"}, {Fault::StepBack, "step_back"},
        {Fault::Suspend, "suspend"}};
    // From a millisecond to eleven hours, at every part of a second.
    for (int64_t ms : {1, 10, 500, 999, 1000, 1001, 60'000, 3'600'000, 39'600'000}) {
        for (int64_t at : {0, 1, 250, 500, 998, 999}) {
            for (const auto& [fault, name] : kinds)
                std::printf("response %s %lld\n", name,
                            static_cast<long long>(response(fault, ms, at)));
        }
    }
    return 0;
}
