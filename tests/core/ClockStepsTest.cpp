// The clock label against the clock it shows, millisecond by millisecond, through the
// faults a desktop's clock meets: whatever happens, PANEL shows the local time except
// within the thread's wake-up after the time changed, each second once and in order.

#include "fake/FakePlatform.h"

#include "core/clock/TimeText.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vellomarin::test {
namespace {

constexpr int64_t kWakeDelay = 3;

enum class Fault { Step, Suspend, Stall };

struct FaultCase {
    Fault fault;
    int64_t ms;       // the step (negative: back), or how long the machine slept or stalled
    int64_t startsAt; // ms into the second when it happens
};

std::string name(const FaultCase& c) {
    const char* kinds[] = {"step", "suspend", "stall"};
    return std::string(kinds[static_cast<int>(c.fault)]) + (c.ms < 0 ? "Back" : "") +
           std::to_string(c.ms < 0 ? -c.ms : c.ms) + "msAt" + std::to_string(c.startsAt);
}

void checkFault(const FaultCase& c) {
    SCOPED_TRACE(name(c));
    FakePlatform p(At(6, 0, 0, 400));
    p.setWakeDelay(kWakeDelay);
    std::vector<int32_t> shown; // each second PANEL came to show, in turn
    p.afterEvent = [&](Event event) {
        const int32_t now = SecondsOfDay(*ParseTimeText(p.labelCaption(LabelId::PANEL)));
        if (event == Event::JikokuTick && (shown.empty() || shown.back() != now))
            shown.push_back(now);
    };
    p.load();
    int64_t changedAt = p.wallMs(); // when the time shown last had to change
    const auto runAndCompare = [&](int64_t ms) {
        for (int64_t i = 0; i < ms; ++i) {
            p.runFor(1);
            if (p.wallMs() % kSecond == 0)
                changedAt = p.wallMs();
            const TimeOfDay now = p.localTime();
            if (p.wallMs() - changedAt >= kWakeDelay) {
                ASSERT_EQ(p.labelCaption(LabelId::PANEL),
                          FormatTimeText(now.hour, now.minute, now.second))
                    << "at " << p.wallMs() - changedAt << " ms after the time changed";
            }
        }
    };
    runAndCompare(1600 + c.startsAt);
    ASSERT_EQ(p.wallMs() % kSecond, c.startsAt);
    const size_t atFault = shown.size();
    switch (c.fault) {
    case Fault::Step:
        p.stepWall(c.ms);
        break;
    case Fault::Suspend:
        p.suspend(c.ms);
        break;
    case Fault::Stall:
        p.stall(c.ms);
        break;
    }
    changedAt = p.wallMs();
    runAndCompare(2500);

    // One second after another, except at the fault: there a move forward may skip
    // seconds, and only a move back may show a second again.
    for (size_t i = 1; i < shown.size(); ++i) {
        if (shown[i] != (shown[i - 1] + 1) % 86400) {
            ASSERT_EQ(i, atFault) << "a second skipped or repeated away from the fault";
        }
    }
    if (c.ms > 0) {
        for (size_t i = 0; i < shown.size(); ++i)
            for (size_t j = 0; j < i; ++j)
                ASSERT_NE(shown[i], shown[j]) << "shown twice after a move forward";
    }
}

// One test for the whole table: a process for each of its two hundred rows would cost
// more than the rows.
TEST(ClockSteps, PanelShowsTheTimeWithinTheWakeDelay) {
    for (int64_t ms : {int64_t{1}, int64_t{2}, int64_t{3}, int64_t{500}, int64_t{999}, kSecond,
                       kSecond + 1, 59 * kSecond, kHour, 11 * kHour, 13 * kHour}) {
        for (int64_t at : {0, 1, 500, 998, 999}) {
            checkFault({Fault::Step, ms, at});
            checkFault({Fault::Step, -ms, at});
            checkFault({Fault::Suspend, ms, at});
            if (ms < kMinute)
                checkFault({Fault::Stall, ms, at});
            if (::testing::Test::HasFatalFailure())
                return;
        }
    }
}

// Daylight saving and a new time zone move the local time at a whole second with no
// step of the wall clock: nothing cancels the timer, and the tick at that second shows
// the new time. The watch then treats the move as it treats a step of the clock.
struct ZoneCase {
    const char* name;
    int64_t offset;  // the local offset from 2:00:00 local on (it was 0)
    int alarm[3];    // the alarm's hour, minute, second, set at 1:58:30
    int64_t ringsAt; // the wall instant the ringing must start at
};

class LocalTimeChangeTest : public ::testing::TestWithParam<ZoneCase> {};

void setAlarm(FakePlatform& p, int hour, int minute, int second) {
    p.setBoxText(BoxId::Hou, QString::number(hour));
    p.setBoxText(BoxId::Min, QString::number(minute));
    p.setBoxText(BoxId::Sec, QString::number(second));
    p.handle(Event::SetteiClick);
}

// Awake, and asleep from the moment the alarm is set: then the wake timer, worked out
// across the same change of offset, must wake the machine in time for the same second.
TEST_P(LocalTimeChangeTest, RingsWhenTheLocalTimeReachesTheAlarm) {
    const ZoneCase& c = GetParam();
    for (bool asleep : {false, true}) {
        SCOPED_TRACE(asleep ? "asleep" : "awake");
        FakePlatform p(At(1, 58, 30, 250));
        p.setWakeDelay(kWakeDelay);
        p.setLocalOffsetFrom(At(2, 0, 0), c.offset);
        p.setWakeCapable(asleep);
        p.load();
        setAlarm(p, c.alarm[0], c.alarm[1], c.alarm[2]);
        if (asleep)
            p.sleepUntil(p.wallMs() + 12 * kHour, 3 * kSecond);
        ASSERT_TRUE(p.runUntil([&] { return p.timerEnabled(TimerId::Alarm); }, 3 * kHour));
        EXPECT_EQ(p.wallMs(), c.ringsAt + kWakeDelay);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, LocalTimeChangeTest,
    ::testing::Values(
        // Spring forward, 2:00 becomes 3:00.
        ZoneCase{"forwardOverTheAlarm", kHour, {2, 30, 0}, At(2, 0, 0)},
        ZoneCase{"forwardOntoTheAlarm", kHour, {3, 0, 0}, At(2, 0, 0)},
        ZoneCase{"forwardToASecondBeforeTheAlarm", kHour, {3, 0, 1}, At(2, 0, 1)},
        ZoneCase{"forwardASecondAfterTheAlarm", kHour, {1, 59, 59}, At(1, 59, 59)},
        // Fall back, 2:00 becomes 1:00: an alarm in the hour shown again rings once.
        ZoneCase{"backOverTheAlarm", -kHour, {1, 30, 0}, At(2, 30, 0)},
        ZoneCase{"backOntoTheAlarm", -kHour, {1, 0, 0}, At(2, 0, 0)},
        ZoneCase{"backAsTheAlarmWasDue", -kHour, {2, 0, 0}, At(3, 0, 0)},
        ZoneCase{"backASecondAfterTheAlarm", -kHour, {1, 59, 59}, At(1, 59, 59)},
        // A new zone nine hours east passes the alarm; nine hours west puts it ahead.
        ZoneCase{"newZoneEast", 9 * kHour, {8, 0, 0}, At(2, 0, 0)},
        ZoneCase{"newZoneWest", -9 * kHour, {1, 59, 40}, At(1, 59, 40)}),
    [](const auto& info) { return std::string(info.param.name); });

// The machine asleep when the alarm comes: the wake timer wakes it kWakeLeadMs before,
// or the user does. Set at 6:00:00.400 for 7:00:00, it sleeps at once.
struct SleepCase {
    const char* name;
    bool capable;           // the program holds CAP_WAKE_ALARM, so it arms a wake timer
    int64_t resumeMs;       // how long the machine takes to resume, however it was woken
    int64_t userWake;       // the wall instant the user wakes it
    int64_t sleepsAgainFor; // put back to sleep a second after it resumes; 0: it is not
    int64_t ringsAt;        // when the ringing must start, before the thread's wake-up
};

class SleepTest : public ::testing::TestWithParam<SleepCase> {};

TEST_P(SleepTest, RingsOnceNeverEarlyAndAsSoonAsTheMachineIsUp) {
    const SleepCase& c = GetParam();
    FakePlatform p(At(6, 0, 0, 400));
    p.setWakeDelay(kWakeDelay);
    p.setWakeCapable(c.capable);
    p.load();
    setAlarm(p, 7, 0, 0);
    EXPECT_EQ(p.wakeTimerAt(), c.capable ? std::optional(At(6, 59, 50)) : std::nullopt);
    p.sleepUntil(c.userWake, c.resumeMs);
    if (c.sleepsAgainFor > 0) {
        p.runFor(kSecond);
        p.sleepUntil(p.wallMs() + c.sleepsAgainFor, c.resumeMs);
    }
    ASSERT_TRUE(p.runUntil([&] { return p.timerEnabled(TimerId::Alarm); }, 12 * kHour));
    EXPECT_EQ(p.wallMs(), c.ringsAt + kWakeDelay);
    p.handle(Event::CancelClick);
    EXPECT_EQ(p.wakeTimerAt(), std::nullopt) << "a wake timer with no alarm";
    const int64_t wakes = p.wakeTimerTicks();
    p.runFor(2 * kMsPerDay);
    EXPECT_EQ(p.ringTicks().size(), 1u) << "rang again";
    EXPECT_EQ(p.wakeTimerTicks(), wakes);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SleepTest,
    ::testing::Values(
        SleepCase{"leadCoversTheResume", true, 3 * kSecond, At(9, 0, 0), 0, At(7, 0, 0)},
        SleepCase{"resumeAsLongAsTheLead", true, 10 * kSecond, At(9, 0, 0), 0, At(7, 0, 0)},
        SleepCase{"resumeLongerThanTheLead", true, 15 * kSecond, At(9, 0, 0), 0, At(7, 0, 5)},
        SleepCase{"noCapabilityRingsAtResume", false, 3 * kSecond, At(9, 0, 0), 0, At(9, 0, 3)},
        SleepCase{"userWakesItFirst", true, 3 * kSecond, At(6, 30, 0), 0, At(7, 0, 0)},
        SleepCase{"userWakesItFirstNoCapability", false, 3 * kSecond, At(6, 30, 0), 0, At(7, 0, 0)},
        // The lid stays shut and the machine sleeps again: woken again at the second.
        SleepCase{"sleepsAgainAfterTheLeadWake", true, 3 * kSecond, At(9, 0, 0), 2 * kHour,
                  At(7, 0, 3)}),
    [](const auto& info) { return std::string(info.param.name); });

// A new zone chosen while an alarm waits moves its instant, and the wake timer with it.
TEST(SleepTest, ANewZoneMovesTheWakeTimer) {
    FakePlatform p(At(6, 0, 0, 400));
    p.setWakeCapable(true);
    p.load();
    setAlarm(p, 7, 0, 0);
    p.setLocalOffsetFrom(p.wallMs(), 30 * kMinute);
    EXPECT_EQ(p.wakeTimerAt(), At(6, 29, 50));
    p.setBoxText(BoxId::Hou, QString::number(5)); // 5:00 local is tomorrow
    p.handle(Event::SetteiClick);
    EXPECT_EQ(p.wakeTimerAt(), At(4, 29, 50) + kMsPerDay);
}

// The window minimised at 6:00:01 with, as the row says, an alarm for 7:00:00; at 6:30
// the clock is set, the machine sleeps, or the zone changes (a daylight-saving change
// is known ahead); restored at 9:00. Hidden, the clock wakes only for the alarm.
struct HiddenCase {
    const char* name;
    bool alarm;
    std::function<void(FakePlatform&)> atHalfPast; // what happens at 6:30
    int64_t wakes;   // how often the thread wakes before the ringing, or before 9:00
    int64_t ringsAt; // -1: no ringing
};

class HiddenTest : public ::testing::TestWithParam<HiddenCase> {};

TEST_P(HiddenTest, WakesOnlyForTheAlarmAndShowsTheTimeAtOnceWhenRestored) {
    const HiddenCase& c = GetParam();
    FakePlatform p(At(6, 0, 0, 400));
    p.setWakeDelay(kWakeDelay);
    p.load();
    if (c.alarm)
        setAlarm(p, 7, 0, 0);
    p.runFor(600);
    p.minimise();
    const auto wakes = [&] { return p.ticks(TimerId::Jikoku) + p.wakeTimerTicks(); };
    const int64_t before = wakes();
    p.runFor(At(6, 30, 0) - p.wallMs());
    if (c.atHalfPast)
        c.atHalfPast(p);
    const bool rang = p.runUntil([&] { return !p.watching(); }, At(9, 0, 0) - p.wallMs());
    EXPECT_EQ(wakes() - before, c.wakes);
    EXPECT_EQ(rang ? p.wallMs() : -1, c.ringsAt < 0 ? -1 : c.ringsAt + kWakeDelay);
    p.handle(Event::CancelClick);
    p.runFor(At(9, 0, 0, 500) - p.wallMs());
    p.restore();
    const TimeOfDay now = p.localTime();
    EXPECT_EQ(p.labelCaption(LabelId::PANEL), FormatTimeText(now.hour, now.minute, now.second));
}

INSTANTIATE_TEST_SUITE_P(
    Table, HiddenTest,
    ::testing::Values(
        HiddenCase{"noAlarm", false, nullptr, 0, -1},
        HiddenCase{"noAlarmAcrossAResume", false, [](auto& p) { p.suspend(kHour); }, 0, -1},
        HiddenCase{"alarm", true, nullptr, 2, At(7, 0, 0)},
        HiddenCase{"clockSetOverTheAlarm", true, [](auto& p) { p.stepWall(45 * kMinute); }, 1,
                   At(7, 15, 0)},
        HiddenCase{"clockSetBack", true, [](auto& p) { p.stepWall(-kHour); }, 3, At(7, 0, 0)},
        HiddenCase{"resumeOverTheAlarm", true, [](auto& p) { p.suspend(45 * kMinute); }, 1,
                   At(7, 15, 0)},
        HiddenCase{"resumeBeforeTheAlarm", true, [](auto& p) { p.suspend(10 * kMinute); }, 3,
                   At(7, 0, 0)},
        HiddenCase{"newZoneOverTheAlarm", true,
                   [](auto& p) { p.setLocalOffsetFrom(p.wallMs(), 45 * kMinute); }, 1,
                   At(6, 30, 0) - kWakeDelay},
        HiddenCase{"newZoneWest", true, [](auto& p) { p.setLocalOffsetFrom(p.wallMs(), -kHour); },
                   3, At(8, 0, 0)},
        HiddenCase{"daylightSavingOverTheAlarm", true,
                   [](auto& p) { p.setLocalOffsetFrom(At(6, 45, 0), kHour); }, 3, At(6, 45, 0)}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace vellomarin::test
