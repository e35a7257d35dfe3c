// The clock's timer on the real kernel timer, armed from a clock the test sets.
#include "qt/PhasedTimer.h"
#include "system/WallClock.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <cerrno>
#include <optional>
#include <system_error>
#include <vector>

namespace vellomarin {
namespace {

struct ReadCase {
    const char* name;
    long result;
    int error;
    std::optional<TickPolicy::Wake> wake; // none: an error, not a wake
};

class PhasedTimerReadTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(PhasedTimerReadTest, TellsWhyItWoke) {
    const ReadCase& c = GetParam();
    if (c.wake)
        EXPECT_EQ(PhasedTimer::wakeFromRead(c.result, c.error), *c.wake);
    else
        EXPECT_THROW(PhasedTimer::wakeFromRead(c.result, c.error), std::system_error);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PhasedTimerReadTest,
    ::testing::Values(ReadCase{"expirations", 8, 0, TickPolicy::Wake::Expired},
                      ReadCase{"clockSet", -1, ECANCELED, TickPolicy::Wake::ClockSet},
                      ReadCase{"nothingYet", -1, EAGAIN, TickPolicy::Wake::Nothing},
                      ReadCase{"interrupted", -1, EINTR, TickPolicy::Wake::Nothing},
                      ReadCase{"badDescriptor", -1, EBADF, std::nullopt},
                      ReadCase{"shortRead", 4, 0, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

// The real wall-clock ms of up to `count` ticks, within `waitMs`.
std::vector<int64_t> tickTimes(PhasedTimer& timer, int count, int waitMs) {
    std::vector<int64_t> times;
    QEventLoop loop;
    const auto connection = QObject::connect(&timer, &PhasedTimer::timeout, [&] {
        times.push_back(WallClockMs());
        if (static_cast<int>(times.size()) == count)
            loop.quit();
    });
    QTimer::singleShot(waitMs, &loop, &QEventLoop::quit);
    loop.exec();
    QObject::disconnect(connection);
    return times;
}

// The instants are handed to the kernel as absolute times of the wall clock, worked out
// from the timer's own clock: ticks come on the phase, never before it; and an instant
// that has passed by the real clock (here the timer's clock reads an hour behind, as
// after a resume) fires at once.
TEST(PhasedTimer, TicksOnItsPhaseOfTheWallClock) {
    int argc = 0;
    QCoreApplication app(argc, nullptr);
    int64_t behind = 0;
    PhasedTimer timer(1000, 300, nullptr, [&behind] { return WallClockMs() - behind; });
    EXPECT_EQ(timer.interval(), 1000);
    for (int64_t clockBehind : {int64_t{0}, int64_t{3'600'000}}) {
        behind = clockBehind;
        const int64_t enabledAt = WallClockMs();
        timer.setEnabled(true);
        const std::vector<int64_t> times = tickTimes(timer, 2, 3000);
        ASSERT_EQ(times.size(), 2u);
        for (size_t i = 0; i < times.size(); ++i) {
            if (i == 0 && clockBehind > 0) {
                EXPECT_LT(times[i] - enabledAt, 50) << "an instant passed fires at once";
                continue;
            }
            const int64_t phase = times[i] % 1000;
            EXPECT_GE(phase, 300) << "never before its instant";
            EXPECT_LT(phase, 350) << "on its instant";
        }
        timer.setEnabled(false);
        EXPECT_TRUE(tickTimes(timer, 1, 1100).empty()) << "disabled, it stays quiet";
    }
}

// The kernel takes no instant before the epoch: the refused arming is an error for the
// caller to report, not a clock that never ticks.
TEST(PhasedTimer, ARefusedArmingIsAnError) {
    int argc = 0;
    QCoreApplication app(argc, nullptr);
    PhasedTimer timer(1000, 0, nullptr, [] { return int64_t{-5'000}; });
    try {
        timer.setEnabled(true);
        ADD_FAILURE() << "armed at an instant before the epoch";
    } catch (const std::system_error& refusal) {
        EXPECT_EQ(refusal.code().value(), EINVAL);
    }
    EXPECT_FALSE(timer.isEnabled());
}

} // namespace
} // namespace vellomarin
