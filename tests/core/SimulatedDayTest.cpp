#include "fake/FakePlatform.h"

#include "core/Timing.h"
#include "core/alarm/Entry.h"
#include "core/alarm/Presets.h"
#include "core/alarm/Watch.h"
#include "core/clock/TimeText.h"

#include <gtest/gtest.h>

#include <random>

namespace vellomarin::test {
namespace {

TEST(SimulatedDay, ClockShowsEverySecondAcrossMidnight) {
    FakePlatform p(At(12, 0, 0, 400));
    p.setWakeDelay(2);
    int64_t lagWorst = 0;
    int64_t previous = -1;
    p.afterEvent = [&](Event event) {
        if (event != Event::JikokuTick)
            return;
        const auto shown = ParseTimeText(p.labelCaption(LabelId::PANEL));
        ASSERT_TRUE(shown);
        const int64_t second = SecondsOfDay(*shown);
        if (previous >= 0) {
            ASSERT_EQ(second, (previous + 1) % 86400) << "a second was skipped or shown twice";
        }
        previous = second;
        lagWorst = std::max(lagWorst, p.wallMs() % 1000);
    };
    p.load();
    EXPECT_EQ(p.labelCaption(LabelId::PANEL), QString::fromUtf16(u"12時00分00秒"));
    p.runFor(kMsPerDay);
    EXPECT_EQ(p.ticks(TimerId::Jikoku), 86400);
    EXPECT_EQ(p.labelCaption(LabelId::PANEL), QString::fromUtf16(u"12時00分00秒"));
    EXPECT_EQ(lagWorst, kJikokuPhaseMs + p.wakeDelay()) << "rewritten as the second begins";
}

TEST(SimulatedDay, StartAtMidnightShowsMidnight) {
    FakePlatform p(At(0, 0, 0));
    p.load();
    EXPECT_EQ(p.labelCaption(LabelId::PANEL), QString::fromUtf16(u"0時00分00秒"));
    EXPECT_TRUE(p.labelCaption(LabelId::YOTEI).isEmpty());
    EXPECT_EQ(p.state.P5Minutes, 3);
    EXPECT_EQ(p.state.P10Minutes, 5);
    EXPECT_EQ(p.state.PresetLevel, 0);
    EXPECT_EQ(p.state.RingCount, 0);
    EXPECT_EQ(p.state.EntryFlag, 0);
    EXPECT_TRUE(p.timerEnabled(TimerId::Jikoku));
    EXPECT_TRUE(p.watching());
    EXPECT_FALSE(p.timerEnabled(TimerId::Alarm));
}

// Alarms set through the real handlers at random times of a simulated day each ring
// exactly once, never before their time, and as soon as the clock shows it.
TEST(SimulatedDay, RandomAlarmsEachRingOnceOnTime) {
    std::mt19937 random(20261208);
    FakePlatform p(At(5, 0, 0, 250));
    p.load();

    int rings = 0;

    for (int alarm = 0; alarm < 60; ++alarm) {
        // Schedule by one of the three ways, at a random moment.
        p.runFor(std::uniform_int_distribution<int64_t>(0, 20 * kMinute)(random));
        const int64_t setAt = p.wallMs();
        const TimeOfDay shown = *ParseTimeText(p.labelCaption(LabelId::PANEL));
        int32_t target = 0;
        switch (alarm % 3) {
        case 0: {
            target =
                (SecondsOfDay(shown) + std::uniform_int_distribution<int>(1, 7200)(random)) % 86400;
            p.setBoxText(BoxId::Hou, QString::number(target / 3600));
            p.setBoxText(BoxId::Min, QString::number(target / 60 % 60));
            p.setBoxText(BoxId::Sec, QString::number(target % 60));
            p.handle(Event::SetteiClick);
            break;
        }
        case 1:
            p.handle(Event::P5Click);
            target = (SecondsOfDay(shown) + p.state.P5Minutes * 60) % 86400;
            break;
        case 2:
            p.handle(Event::P10Click);
            target = (SecondsOfDay(shown) + p.state.P10Minutes * 60) % 86400;
            break;
        }
        ASSERT_EQ(p.labelCaption(LabelId::YOTEI),
                  FormatTimeText(target / 3600, target / 60 % 60, target % 60));
        // The wall instant the clock first shows the target second.
        const int64_t dayStart = setAt - setAt % kMsPerDay;
        int64_t dueWall = dayStart + target * kSecond;
        if (dueWall <= setAt - setAt % kSecond)
            dueWall += kMsPerDay;

        ASSERT_TRUE(p.runUntil([&] { return p.timerEnabled(TimerId::Alarm); }, 2 * kMsPerDay));
        const int64_t rangAt = p.wallMs();
        EXPECT_GE(rangAt, dueWall) << "alarm " << alarm << " rang early";
        EXPECT_LE(rangAt, dueWall + kJikokuPhaseMs) << "alarm " << alarm << " rang late";
        ++rings;

        // Let it ring a while, then cancel it or let it end by itself.
        if (alarm % 4 == 0) {
            ASSERT_TRUE(p.runUntil([&] { return p.watching(); }, kMsPerDay));
        } else {
            p.runFor(std::uniform_int_distribution<int64_t>(0, 5 * kMinute)(random));
            p.handle(Event::CancelClick);
        }
        // It never rings again for the same time.
        EXPECT_TRUE(p.labelCaption(LabelId::YOTEI).isEmpty());
        if (alarm % 5 == 0)
            p.handle(Event::SetteiClick); // step the presets now and then
    }
    EXPECT_EQ(rings, 60);
}

} // namespace
} // namespace vellomarin::test
