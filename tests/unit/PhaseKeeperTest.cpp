#include "core/PhaseKeeper.h"

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

class PhaseKeeperTest : public ::testing::TestWithParam<PhaseCase> {};

// A 1000 ms timer 1 ms after each second.
TEST_P(PhaseKeeperTest, KeepsTicksOnThePhaseOfTheWallClock) {
    const PhaseCase& c = GetParam();
    PhaseKeeper keeper(1000, 1);
    EXPECT_EQ(keeper.start(c.startAt), c.expectedFirst);
    EXPECT_EQ(keeper.next(c.firedAt), c.expectedSecond);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PhaseKeeperTest,
    ::testing::Values(PhaseCase{"onTime", 5'400, 6'001, 6'001, 7'001},
                      PhaseCase{"startedExactlyOnThePhase", 6'001, 7'001, 7'001, 8'001},
                      PhaseCase{"startedJustBeforeThePhase", 6'000, 6'001, 6'001, 7'001},
                      PhaseCase{"lateTickKeepsItsPlace", 5'400, 6'900, 6'001, 7'001},
                      PhaseCase{"earlyTickDoesNotDoubleUp", 5'400, 5'999, 6'001, 7'001},
                      PhaseCase{"clockJumpedForward", 5'400, 3'600'500, 6'001, 3'601'001},
                      PhaseCase{"clockSetBack", 5'400, 2'000, 6'001, 2'001},
                      PhaseCase{"beforeTheEpoch", -1'500, -999, -999, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PhaseKeeper, WaitsInWholeMillisecondsAndNeverNegative) {
    PhaseKeeper keeper(100, 5);
    keeper.start(1'000);
    EXPECT_EQ(keeper.target(), 1'005);
    EXPECT_EQ(keeper.delayUntilTarget(1'000), 5);
    EXPECT_EQ(keeper.delayUntilTarget(1'010), 0);
}

} // namespace
} // namespace vellomarin
