// Several simulated days in which the machine misbehaves: the wall clock jumps forward
// (suspend and resume) and back (manual corrections), the event thread
// stalls so ticks come late and coalesced. Whatever happens, every alarm rings exactly
// once, never before its time, and late only by the fault itself plus the
// thread's wake-up.

#include "fake/FakePlatform.h"

#include "core/Timing.h"
#include "core/alarm/Entry.h"
#include "core/alarm/Presets.h"
#include "core/alarm/Watch.h"
#include "core/clock/TimeText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <random>

namespace vellomarin::test {
namespace {

// The clock label is rewritten as each second begins, and at once when the clock is set
// or the machine resumes, each time once the thread wakes; the watch looks right after.
constexpr int64_t kWakeDelay = 3;
constexpr int64_t kCheckSlack = kJikokuPhaseMs + kWakeDelay;

// What the test knows of the alarm it scheduled, worked out from the clock's moves
// alone, not from the program.
struct Expected {
    int32_t target = 0;      // seconds since midnight
    int64_t reachedAt = -1;  // wall instant the clock first reached it, -1 not yet
    int64_t latestRing = -1; // the ringing must have started by this wall instant
    int64_t rangAt = -1;     // when the program started ringing, -1 not yet
};

// The first wall instant in (from, to] whose time of day is `target`, if any.
std::optional<int64_t> occurrenceIn(int64_t from, int64_t to, int32_t target) {
    const int64_t dayStart = from - ((from % kMsPerDay) + kMsPerDay) % kMsPerDay;
    for (int64_t day = dayStart; day <= to; day += kMsPerDay) {
        const int64_t at = day + target * kSecond;
        if (at > from && at <= to)
            return at;
    }
    return std::nullopt;
}

class FaultySimulation {
public:
    explicit FaultySimulation(uint32_t seed) : random_(seed), p_(At(6, 0, 0, 123)) {
        p_.setWakeDelay(kWakeDelay);
        p_.afterEvent = [this](Event) { afterEvent(); };
        p_.load();
        checkInvariants();
    }

    void run(int64_t days) {
        const int64_t end = p_.wallMs() + days * kMsPerDay;
        while (p_.wallMs() < end && !::testing::Test::HasFatalFailure()) {
            step();
            checkInvariants();
        }
    }

    int alarmsSet = 0, alarmsRung = 0, ringingsCancelled = 0, ringingsEnded = 0;
    int stalls = 0, suspends = 0, setBacks = 0, corrections = 0;

private:
    int64_t uniform(int64_t lo, int64_t hi) {
        return std::uniform_int_distribution<int64_t>(lo, hi)(random_);
    }
    // Short faults are common, long ones rare.
    int64_t logUniform(int64_t lo, int64_t hi) {
        const double x =
            std::uniform_real_distribution<double>(std::log(lo), std::log(hi))(random_);
        return static_cast<int64_t>(std::exp(x));
    }
    bool ringing() const { return p_.timerEnabled(TimerId::Alarm); }

    void step() {
        if (ringing()) {
            // Cancel after a while, or let it run out; the clock may misbehave meanwhile.
            if (uniform(0, 1) == 0) {
                runFor(logUniform(100, 10 * kMinute));
                if (uniform(0, 3) == 0)
                    fault(
                        uniform(1, 5 * kSecond), [this](int64_t ms) { p_.stall(ms); }, kCheckSlack);
                cancel();
            } else {
                runUntilRingingEnds();
            }
            return;
        }
        if (!expected_ && uniform(0, 1) == 0)
            schedule();
        switch (uniform(0, 15)) {
        case 0:
            fault(
                uniform(1, 5 * kSecond), [this](int64_t ms) { p_.stall(ms); }, kCheckSlack);
            ++stalls;
            break;
        case 1:
            fault(
                logUniform(kSecond, 11 * kHour), [this](int64_t ms) { p_.suspend(ms); },
                kCheckSlack);
            ++suspends;
            break;
        case 2:
            if (uniform(0, 1) == 0) {
                p_.stepWall(-kHour); // set back an hour: nothing is passed
                ++setBacks;
            } else {
                const int64_t delta = uniform(-10 * kMinute, 10 * kMinute);
                if (delta > 0)
                    fault(
                        delta, [this](int64_t ms) { p_.stepWall(ms); }, kCheckSlack);
                else
                    p_.stepWall(delta);
                ++corrections;
            }
            // Faults come one at a time: the program sees the clock before the next.
            runFor(kCheckSlack + 100);
            break;
        default:
            runFor(logUniform(kSecond, 20 * kMinute));
            break;
        }
        checkDeadline();
    }

    // Clock running normally: the alarm is reached when the clock sweeps over it.
    void runFor(int64_t ms) {
        const int64_t from = p_.wallMs();
        noteReached(from, from + ms, kCheckSlack);
        p_.runFor(ms);
    }

    // A fault that moves the wall clock forward by `ms`: an alarm passed over is due
    // once the fault is over, within `slack`.
    template <typename Move> void fault(int64_t ms, Move move, int64_t slack) {
        const int64_t from = p_.wallMs();
        if (expected_ && expected_->reachedAt < 0) {
            if (occurrenceIn(from, from + ms, expected_->target)) {
                expected_->reachedAt = from + ms;
                expected_->latestRing = from + ms + slack;
            }
        }
        move(ms);
        runFor(kCheckSlack + 100);
    }

    void noteReached(int64_t from, int64_t to, int64_t slack) {
        if (!expected_ || expected_->reachedAt >= 0)
            return;
        if (const auto at = occurrenceIn(from, to, expected_->target)) {
            expected_->reachedAt = *at;
            expected_->latestRing = *at + slack;
        }
    }

    void schedule() {
        // Only with a fresh clock label, as a person would see it.
        p_.runFor(1100);
        const TimeOfDay shown = *ParseTimeText(p_.labelCaption(LabelId::PANEL));
        Expected e;
        switch (uniform(0, 2)) {
        case 0:
            e.target = static_cast<int32_t>((SecondsOfDay(shown) + uniform(0, 2 * 3600)) % 86400);
            p_.setBoxText(BoxId::Hou, QString::number(e.target / 3600));
            p_.setBoxText(BoxId::Min, QString::number(e.target / 60 % 60));
            p_.setBoxText(BoxId::Sec, QString::number(e.target % 60));
            p_.handle(Event::SetteiClick);
            break;
        case 1:
            p_.handle(Event::P5Click);
            e.target = (SecondsOfDay(shown) + p_.state.P5Minutes * 60) % 86400;
            break;
        default:
            p_.handle(Event::P10Click);
            e.target = (SecondsOfDay(shown) + p_.state.P10Minutes * 60) % 86400;
            break;
        }
        ASSERT_EQ(p_.labelCaption(LabelId::YOTEI),
                  FormatTimeText(static_cast<int16_t>(e.target / 3600),
                                 static_cast<int16_t>(e.target / 60 % 60),
                                 static_cast<int16_t>(e.target % 60)));
        if (e.target == SecondsOfDay(shown)) {
            e.reachedAt = p_.wallMs();
            e.latestRing = p_.wallMs() + kCheckSlack;
        }
        expected_ = e;
        ++alarmsSet;
        if (uniform(0, 4) == 0)
            p_.handle(Event::SetteiClick); // steps the presets: the alarm stands
    }

    void cancel() {
        p_.handle(Event::CancelClick);
        ++ringingsCancelled;
        finishRinging();
    }

    void runUntilRingingEnds() {
        const int64_t from = p_.wallMs();
        ASSERT_TRUE(p_.runUntil([this] { return !ringing(); }, kHour));
        noteReached(from, p_.wallMs(), kCheckSlack);
        ASSERT_EQ(beepingTicks(), 18001) << "an uncancelled ringing beeps on 18,001 ticks";
        ++ringingsEnded;
        finishRinging();
    }

    void finishRinging() {
        EXPECT_TRUE(p_.labelCaption(LabelId::YOTEI).isEmpty());
        EXPECT_EQ(p_.state.RingCount, 0);
        expected_.reset();
    }

    int64_t beepingTicks() const {
        return static_cast<int64_t>(p_.ringTicks().size()) - ringTicksAtStart_;
    }

    void afterEvent() {
        const bool started = ringing() && !wasRinging_;
        wasRinging_ = ringing();
        if (!started)
            return;
        // This event started a ringing.
        ASSERT_TRUE(expected_) << "rang with nothing scheduled";
        ASSERT_LT(expected_->rangAt, 0) << "rang twice for one alarm";
        ASSERT_GE(expected_->reachedAt, 0) << "rang before its time, at " << p_.wallMs();
        EXPECT_LE(p_.wallMs(), expected_->latestRing) << "rang late";
        EXPECT_GE(p_.wallMs(), expected_->reachedAt);
        expected_->rangAt = p_.wallMs();
        // The event that started the ringing also beeped its first tick.
        ringTicksAtStart_ = static_cast<int64_t>(p_.ringTicks().size()) - 1;
        ++alarmsRung;
    }

    void checkDeadline() {
        if (expected_ && expected_->reachedAt >= 0 && expected_->rangAt < 0) {
            ASSERT_LE(p_.wallMs(), expected_->latestRing + kCheckSlack)
                << "reached at " << expected_->reachedAt << " but never rang";
        }
    }

    void checkInvariants() {
        const ClockState& s = p_.state;
        ASSERT_EQ(s.EntryFlag, 0);
        ASSERT_GE(s.PresetLevel, 0);
        ASSERT_LE(s.PresetLevel, kTopPresetLevel);
        const Preset& row = PresetAt(s.PresetLevel);
        ASSERT_EQ(s.P5Minutes, row.p5Minutes);
        ASSERT_EQ(s.P10Minutes, row.p10Minutes);
        ASSERT_EQ(p_.buttonCaption(ButtonId::P5), QString::fromUtf16(row.p5Caption));
        ASSERT_EQ(p_.buttonCaption(ButtonId::P10), QString::fromUtf16(row.p10Caption));
        ASSERT_GE(s.RingCount, 0);
        ASSERT_LE(s.RingCount, kRingTickLimit + 1);
        ASSERT_TRUE(p_.timerEnabled(TimerId::Jikoku));
        const QString yotei = p_.labelCaption(LabelId::YOTEI);
        ASSERT_TRUE(yotei.isEmpty() || ParseTimeText(yotei));
    }

    std::mt19937 random_;
    FakePlatform p_;
    std::optional<Expected> expected_;
    bool wasRinging_ = false;
    int64_t ringTicksAtStart_ = 0;
};

class ClockFaultsTest : public ::testing::TestWithParam<uint32_t> {};

TEST_P(ClockFaultsTest, EveryAlarmRingsOnceNeverEarlyAndEndsProperly) {
    FaultySimulation simulation(GetParam());
    simulation.run(3);
    RecordProperty("alarms", simulation.alarmsSet);
    EXPECT_GT(simulation.alarmsSet, 20);
    EXPECT_GT(simulation.stalls + simulation.suspends + simulation.setBacks, 20);
    EXPECT_GT(simulation.ringingsCancelled, 0);
    EXPECT_GT(simulation.ringingsEnded, 0);
    std::printf("seed %u: %d alarms set, %d rang (%d cancelled, %d ran out); %d stalls, "
                "%d suspends, %d set-backs, %d corrections\n",
                GetParam(), simulation.alarmsSet, simulation.alarmsRung,
                simulation.ringingsCancelled, simulation.ringingsEnded, simulation.stalls,
                simulation.suspends, simulation.setBacks, simulation.corrections);
}

INSTANTIATE_TEST_SUITE_P(Seeds, ClockFaultsTest, ::testing::Values(1u, 2u, 3u));

} // namespace
} // namespace vellomarin::test
