#include "core/TickPolicy.h"

#include <gtest/gtest.h>

namespace vellomarin {
namespace {

struct ArmCase {
    const char* name;
    int64_t offset;   // the phase within each second
    int64_t now;      // wall ms when the timer is armed
    int64_t expected; // the instant it is armed at
};

class TickPolicyArmTest : public ::testing::TestWithParam<ArmCase> {};

// A 1000 ms timer: armed at the first instant of its phase after now, never at now
// itself (that tick is the caller's, who has just shown the time).
TEST_P(TickPolicyArmTest, ArmsAtTheNextInstantOfItsPhase) {
    const ArmCase& c = GetParam();
    EXPECT_EQ(TickPolicy(1000, c.offset).firstAfter(c.now), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, TickPolicyArmTest,
    ::testing::Values(ArmCase{"midSecond", 0, 5'400, 6'000},
                      ArmCase{"exactlyOnTheSecond", 0, 6'000, 7'000},
                      ArmCase{"lastMsOfTheSecond", 0, 5'999, 6'000},
                      ArmCase{"withAPhase", 1, 6'000, 6'001},
                      ArmCase{"onThePhase", 1, 6'001, 7'001},
                      ArmCase{"beforeTheEpoch", 0, -1'500, -1'000},
                      ArmCase{"justBeforeTheEpoch", 0, -1, 0}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace vellomarin
