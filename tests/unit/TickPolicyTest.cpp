#include "core/TickPolicy.h"

#include <gtest/gtest.h>

namespace vellomarin {
namespace {

struct PhaseCase {
    const char* name;
    int64_t startAt;        // wall ms when the timer is enabled
    int64_t firedAt;        // wall ms when its first tick actually ran
    int64_t expectedFirst;  // the instant aimed at by the first tick
    int64_t expectedSecond; // the instant aimed at after the first tick
};

class TickPolicyPhaseTest : public ::testing::TestWithParam<PhaseCase> {};

// A 1000 ms timer 1 ms after each second.
TEST_P(TickPolicyPhaseTest, KeepsTicksOnThePhaseOfTheWallClock) {
    const PhaseCase& c = GetParam();
    TickPolicy policy(1000, 1);
    policy.start(c.startAt);
    EXPECT_EQ(policy.target(), c.expectedFirst);
    EXPECT_EQ(policy.next(c.firedAt), c.expectedSecond);
}

INSTANTIATE_TEST_SUITE_P(
    Table, TickPolicyPhaseTest,
    ::testing::Values(PhaseCase{"onTime", 5'400, 6'001, 6'001, 7'001},
                      PhaseCase{"startedExactlyOnThePhase", 6'001, 7'001, 7'001, 8'001},
                      PhaseCase{"startedJustBeforeThePhase", 6'000, 6'001, 6'001, 7'001},
                      PhaseCase{"lateTickKeepsItsPlace", 5'400, 6'900, 6'001, 7'001},
                      PhaseCase{"earlyTickDoesNotDoubleUp", 5'400, 5'999, 6'001, 7'001},
                      PhaseCase{"clockJumpedForward", 5'400, 3'600'500, 6'001, 3'601'001},
                      PhaseCase{"clockSetBack", 5'400, 2'000, 6'001, 2'001},
                      PhaseCase{"beforeTheEpoch", -1'500, -999, -999, 1}),
    [](const auto& info) { return std::string(info.param.name); });

struct TickCase {
    const char* name;
    int64_t firedAt;         // wall ms of the tick aimed at 6'001
    int64_t runningInterval; // what the repeating timer runs at
    std::optional<int64_t> restartWith;
};

class TickPolicyTickTest : public ::testing::TestWithParam<TickCase> {};

// Whether a tick lets the repeating timer run on, or restarts it, and with what.
TEST_P(TickPolicyTickTest, RestartsTheTimerOnlyWhenOffPhaseOrAfterAiming) {
    const TickCase& c = GetParam();
    TickPolicy policy(1000, 1);
    EXPECT_EQ(policy.start(5'400), 601) << "the first wait ends at the instant";
    EXPECT_EQ(policy.onTick(c.firedAt, c.runningInterval), c.restartWith);
}

INSTANTIATE_TEST_SUITE_P(
    Table, TickPolicyTickTest,
    ::testing::Values(TickCase{"firstTickAfterAimingSetsThePeriod", 6'001, 601, 1000},
                      TickCase{"onPhaseRunsOn", 6'001, 1000, std::nullopt},
                      TickCase{"slightlyLateStillOnPhase", 6'003, 1000, std::nullopt},
                      TickCase{"lateReaimsAtTheNextInstant", 6'004, 1000, 997},
                      TickCase{"earlyReaims", 5'990, 1000, 1011},
                      TickCase{"afterASuspendReaimsFromNow", 9'000'500, 1000, 501},
                      TickCase{"afterTheClockWasSetBack", 1'000, 1000, 1}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace vellomarin
