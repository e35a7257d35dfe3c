#include "fake/FakePlatform.h"

#include "core/Timing.h"
#include "core/alarm/Entry.h"
#include "core/alarm/Presets.h"
#include "core/alarm/Watch.h"
#include "core/clock/TimeText.h"

#include <gtest/gtest.h>

namespace vellomarin::test {
namespace {

int32_t Sec(int h, int m, int s) {
    return (h * 60 + m) * 60 + s;
}

struct DueCase {
    const char* name;
    int32_t before, now, scheduled;
    bool due;
};

class AlarmDueTest : public ::testing::TestWithParam<DueCase> {};

TEST_P(AlarmDueTest, RingsWhenTheClockReachesTheTime) {
    const DueCase& c = GetParam();
    EXPECT_EQ(AlarmDue(c.before, c.now, c.scheduled), c.due);
}

INSTANTIATE_TEST_SUITE_P(
    Table, AlarmDueTest,
    ::testing::Values(
        DueCase{"equalsNow", Sec(7, 5, 0), Sec(7, 5, 0), Sec(7, 5, 0), true},
        DueCase{"reachedThisSecond", Sec(7, 4, 59), Sec(7, 5, 0), Sec(7, 5, 0), true},
        DueCase{"oneSecondEarly", Sec(7, 4, 58), Sec(7, 4, 59), Sec(7, 5, 0), false},
        DueCase{"textWouldSayDueAt0959", Sec(9, 59, 58), Sec(9, 59, 59), Sec(10, 0, 0), false},
        DueCase{"earlierThanClock", Sec(10, 0, 0), Sec(10, 0, 1), Sec(7, 0, 0), false},
        DueCase{"oneOClockAtTen", Sec(10, 0, 0), Sec(10, 0, 1), Sec(1, 0, 0), false},
        DueCase{"skippedSecond", Sec(7, 4, 59), Sec(7, 5, 1), Sec(7, 5, 0), true},
        DueCase{"alreadyPassedLastLook", Sec(7, 5, 0), Sec(7, 5, 1), Sec(7, 5, 0), false},
        DueCase{"resumeAfterSleep", Sec(2, 0, 0), Sec(8, 0, 0), Sec(7, 0, 0), true},
        DueCase{"acrossMidnight", Sec(23, 59, 59), Sec(0, 0, 1), Sec(0, 0, 0), true},
        DueCase{"lastSecondAcrossMidnight", Sec(23, 59, 58), Sec(0, 0, 0), Sec(23, 59, 59), true},
        DueCase{"setBackAcrossIt", Sec(7, 10, 0), Sec(7, 0, 0), Sec(7, 5, 0), false},
        DueCase{"setBackAnHour", Sec(3, 0, 0), Sec(2, 0, 0), Sec(2, 30, 0), false},
        DueCase{"setBackOntoIt", Sec(7, 10, 0), Sec(7, 5, 0), Sec(7, 5, 0), true},
        DueCase{"twelveHourJump", Sec(0, 0, 0), Sec(12, 0, 0), Sec(11, 0, 0), true},
        DueCase{"justOverTwelveHours", Sec(0, 0, 0), Sec(12, 0, 1), Sec(11, 0, 0), false}),
    [](const auto& info) { return std::string(info.param.name); });

// Starts a fake desktop at `clock` and schedules through the real handlers.
struct Desk {
    explicit Desk(int64_t clock) : p(clock) { p.load(); }
    void type(BoxId box, const char* text) { p.setBoxText(box, QString::fromLatin1(text)); }
    bool ringing() const { return p.timerEnabled(TimerId::Alarm); }
    // Runs until ringing starts; returns the wall time it started at, or -1.
    int64_t runUntilRinging(int64_t limit) {
        return p.runUntil([&] { return ringing(); }, limit) ? p.wallMs() : -1;
    }
    FakePlatform p;
};

// The watch looks right after Jikoku writes a new second into PANEL, which it does as
// the second begins (the fake's wake delay is 0 here).
constexpr int kShownAfter = kJikokuPhaseMs;

struct RingCase {
    const char* name;
    int64_t start;
    std::function<void(Desk&)> schedule;
    int64_t ringsAt; // wall time the ringing must start at, to the millisecond
};

class RingTimeTest : public ::testing::TestWithParam<RingCase> {};

TEST_P(RingTimeTest, RingsAsSoonAsTheClockShowsTheTime) {
    const RingCase& c = GetParam();
    Desk d(c.start);
    c.schedule(d);
    const int64_t rang = d.runUntilRinging(2 * kMsPerDay);
    ASSERT_NE(rang, -1) << "never rang";
    EXPECT_EQ(rang, c.ringsAt);
    EXPECT_FALSE(d.p.watching());
}

INSTANTIATE_TEST_SUITE_P(
    Table, RingTimeTest,
    ::testing::Values(RingCase{"typedTime", At(7, 4, 58, 500),
                               [](Desk& d) {
                                   d.type(BoxId::Hou, "7");
                                   d.type(BoxId::Min, "5");
                                   d.p.handle(Event::SetteiClick);
                               },
                               At(7, 5, 0, kShownAfter)},
                      RingCase{"tenOClockWaitsPastNineFiftyNine", At(9, 59, 50),
                               [](Desk& d) {
                                   d.type(BoxId::Hou, "10");
                                   d.type(BoxId::Min, "0");
                                   d.p.handle(Event::SetteiClick);
                               },
                               At(10, 0, 0, kShownAfter)},
                      RingCase{"quickSetAcrossTheHour", At(9, 58, 30, 200),
                               [](Desk& d) { d.p.handle(Event::P5Click); },
                               At(10, 1, 30, kShownAfter)},
                      RingCase{"quickSetAcrossMidnight", At(23, 57, 0, 200),
                               [](Desk& d) { d.p.handle(Event::P10Click); },
                               kMsPerDay + At(0, 2, 0, kShownAfter)},
                      RingCase{"earlierTimeRingsTomorrow", At(10, 0, 0, 200),
                               [](Desk& d) {
                                   d.type(BoxId::Hou, "7");
                                   d.p.handle(Event::SetteiClick);
                               },
                               kMsPerDay + At(7, 0, 0, kShownAfter)},
                      RingCase{"oneOClockSetAtTen", At(10, 0, 0, 200),
                               [](Desk& d) {
                                   d.type(BoxId::Hou, "1");
                                   d.p.handle(Event::SetteiClick);
                               },
                               kMsPerDay + At(1, 0, 0, kShownAfter)},
                      RingCase{"theClockTimeItselfRingsAtOnce", At(10, 20, 0, 200),
                               [](Desk& d) {
                                   d.type(BoxId::Sec, "0");
                                   d.p.handle(Event::SetteiClick);
                               },
                               At(10, 20, 0, 200)},
                      // Set in the last moments of the second: still the time shown.
                      RingCase{"theClockTimeSetAsTheSecondEnds", At(10, 20, 0, 950),
                               [](Desk& d) {
                                   d.type(BoxId::Sec, "0");
                                   d.p.handle(Event::SetteiClick);
                               },
                               At(10, 20, 0, 950)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Watch, EmptyScheduleNeverRings) {
    Desk d(At(0, 0, 0, 300));
    EXPECT_EQ(d.runUntilRinging(kMsPerDay + kHour), -1);
    EXPECT_EQ(d.p.beepCount(), 0);
}

TEST(Watch, SkippedSecondStillRings) {
    Desk d(At(7, 4, 58, 500));
    d.type(BoxId::Min, "5");
    d.p.handle(Event::SetteiClick); // 7:05:00
    d.p.runFor(600);                // 7:04:59.1, PANEL shows 7:04:59
    ASSERT_EQ(d.p.labelCaption(LabelId::PANEL), QString::fromUtf16(u"7時04分59秒"));
    d.p.stall(1950); // the thread is busy until 7:05:01.05; the clock never shows 7:05:00
    ASSERT_EQ(d.p.labelCaption(LabelId::PANEL), QString::fromUtf16(u"7時05分01秒"));
    EXPECT_EQ(d.runUntilRinging(200), At(7, 5, 1, 50)) << "rings on the late tick itself";
}

TEST(Watch, ResumeFromSuspendPastTheTimeRingsOnTheFirstTick) {
    Desk d(At(6, 0, 0, 500));
    d.type(BoxId::Hou, "7");
    d.type(BoxId::Min, "0");
    d.p.handle(Event::SetteiClick);
    d.p.runFor(kSecond);
    d.p.suspend(3 * kHour); // wakes at 9:00:01
    EXPECT_EQ(d.runUntilRinging(kSecond), At(9, 0, 1, 500)) << "at the resume itself";
}

TEST(Watch, ClockSetBackAcrossTheAlarmRingsOnlyWhenItIsReached) {
    Desk d(At(6, 30, 0, 500));
    d.type(BoxId::Hou, "7");
    d.type(BoxId::Min, "5");
    d.p.handle(Event::SetteiClick); // 7:05:00
    d.p.runFor(20 * kMinute);       // 6:50
    d.p.stepWall(-kHour);           // set back an hour: 5:50
    d.p.runFor(kMinute);
    EXPECT_FALSE(d.ringing());
    EXPECT_EQ(d.runUntilRinging(2 * kHour), At(7, 5, 0, kShownAfter));
}

TEST(Watch, ClockSetBackAfterPassingDoesNotRingAgainEarly) {
    Desk d(At(7, 10, 0, 500));
    d.type(BoxId::Hou, "7");
    d.type(BoxId::Min, "5");
    d.p.handle(Event::SetteiClick); // 7:05:00, tomorrow
    d.p.runFor(kMinute);
    d.p.stepWall(-10 * kMinute); // 7:01: 7:05 lies ahead once more
    EXPECT_EQ(d.runUntilRinging(kHour), At(7, 5, 0, kShownAfter));
}

TEST(Watch, JumpForwardAcrossTheAlarmRings) {
    Desk d(At(7, 0, 0, 500));
    d.type(BoxId::Min, "30");
    d.p.handle(Event::SetteiClick); // 7:30:00
    d.p.runFor(kSecond);
    d.p.stepWall(kHour); // a manual correction to 8:00
    EXPECT_NE(d.runUntilRinging(2 * kSecond), -1);
}

TEST(Watch, RingsFor18001TicksThenHandsBack) {
    Desk d(At(7, 0, 0, 500));
    d.type(BoxId::Sec, "2");
    d.p.handle(Event::SetteiClick);
    ASSERT_NE(d.runUntilRinging(5 * kSecond), -1);
    const int64_t began = d.p.wallMs();

    ASSERT_TRUE(d.p.runUntil([&] { return !d.ringing(); }, kHour));
    EXPECT_EQ(d.p.ringTicks().front(), began) << "the first tick beeps as the ringing starts";
    EXPECT_EQ(d.p.ringTicks().size(), 18001u);
    EXPECT_EQ(d.p.beepCount(), 2 * 18001);
    EXPECT_EQ(d.p.wallMs() - began, 18001 * 100) << "ends on the 18,002nd tick";
    EXPECT_TRUE(d.p.labelCaption(LabelId::YOTEI).isEmpty());
    EXPECT_EQ(d.p.state.RingCount, 0);
    EXPECT_TRUE(d.p.watching());

    // The same alarm never rings twice.
    d.p.runFor(kMsPerDay);
    EXPECT_FALSE(d.ringing());
    EXPECT_EQ(d.p.ringTicks().size(), 18001u);
}

TEST(Watch, CancelStopsRingingBeforeTheNextTick) {
    Desk d(At(7, 0, 0, 500));
    d.p.handle(Event::SetteiClick); // steps to level 1
    d.p.handle(Event::SetteiClick); // level 2
    d.type(BoxId::Sec, "2");
    d.p.handle(Event::SetteiClick);
    ASSERT_NE(d.runUntilRinging(5 * kSecond), -1);
    d.p.runFor(1000);
    const int64_t beeps = d.p.beepCount();
    EXPECT_GT(beeps, 0);

    d.p.handle(Event::CancelClick);
    EXPECT_FALSE(d.ringing());
    EXPECT_TRUE(d.p.watching());
    EXPECT_TRUE(d.p.labelCaption(LabelId::YOTEI).isEmpty());
    EXPECT_EQ(d.p.state.RingCount, 0);
    EXPECT_EQ(d.p.state.PresetLevel, 0);
    EXPECT_EQ(d.p.state.P5Minutes, 3);
    EXPECT_EQ(d.p.state.P10Minutes, 5);
    EXPECT_EQ(d.p.buttonCaption(ButtonId::P5), QString::fromUtf16(u"３分後"));
    EXPECT_EQ(d.p.buttonCaption(ButtonId::P10), QString::fromUtf16(u"５分後"));
    d.p.runFor(kHour);
    EXPECT_EQ(d.p.beepCount(), beeps);

    // A later ringing starts again from RingCount 0 and lasts its full length.
    d.p.handle(Event::P5Click);
    const size_t before = d.p.ringTicks().size();
    ASSERT_NE(d.runUntilRinging(4 * kMinute), -1);
    ASSERT_TRUE(d.p.runUntil([&] { return !d.ringing(); }, kHour));
    EXPECT_EQ(d.p.ringTicks().size() - before, 18001u);
}

TEST(Watch, CancelWhileWatchingClearsTheScheduleAndPresets) {
    Desk d(At(7, 0, 0, 500));
    d.p.handle(Event::SetteiClick);
    d.p.handle(Event::SetteiClick);
    d.p.handle(Event::SetteiClick); // level 3
    d.p.handle(Event::P5Click);
    d.p.handle(Event::CancelClick);
    EXPECT_TRUE(d.p.labelCaption(LabelId::YOTEI).isEmpty());
    EXPECT_EQ(d.p.buttonCaption(ButtonId::P5), QString::fromUtf16(u"３分後"));
    EXPECT_EQ(d.p.state.P5Minutes, 3);
    EXPECT_EQ(d.runUntilRinging(kMsPerDay), -1);
}

TEST(Watch, ScheduledWhileRingingIsClearedWhenRingingEnds) {
    Desk d(At(7, 0, 0, 500));
    d.type(BoxId::Sec, "2");
    d.p.handle(Event::SetteiClick);
    ASSERT_NE(d.runUntilRinging(5 * kSecond), -1);
    d.p.runFor(kSecond);
    d.type(BoxId::Min, "1");
    d.p.handle(Event::SetteiClick); // 7:01:00: passes while ringing, not watched
    EXPECT_EQ(d.p.labelCaption(LabelId::YOTEI), QString::fromUtf16(u"7時01分00秒"));
    EXPECT_TRUE(d.ringing());
    ASSERT_TRUE(d.p.runUntil([&] { return !d.ringing(); }, kHour));
    EXPECT_TRUE(d.p.labelCaption(LabelId::YOTEI).isEmpty());
    EXPECT_EQ(d.runUntilRinging(kMsPerDay), -1);
}

TEST(Watch, NothingEverRingsEarlyWhenSetAtAnyClockSecond) {
    // A time one second ahead of the clock, set at every second of an hour that holds
    // the text-order traps (9:59:59 against 10:00:00).
    for (int64_t t = At(9, 30, 0, 300); t < At(10, 30, 0); t += 997) {
        FakePlatform p(t);
        p.load();
        const TimeOfDay now = p.localTime();
        const int32_t next = (SecondsOfDay(now) + 1) % (24 * 3600);
        p.setBoxText(BoxId::Hou, QString::number(next / 3600));
        p.setBoxText(BoxId::Min, QString::number(next / 60 % 60));
        p.setBoxText(BoxId::Sec, QString::number(next % 60));
        p.handle(Event::SetteiClick);
        ASSERT_TRUE(p.runUntil([&] { return p.timerEnabled(TimerId::Alarm); }, 3 * kSecond));
        const int64_t due = p.wallMs() / 1000 * 1000;
        ASSERT_EQ(SecondsOfDay(p.localTime()), next) << "rang at " << due;
    }
}

} // namespace
} // namespace vellomarin::test
