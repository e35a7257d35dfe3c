#include "fake/FakePlatform.h"

#include "core/alarm/Entry.h"
#include "core/alarm/Presets.h"
#include "core/alarm/Watch.h"

#include <gtest/gtest.h>

namespace vellomarin::test {
namespace {

struct QuickSetCase {
    const char* name;
    int64_t clock;
    int level;
    const char16_t* afterP5;
    const char16_t* afterP10;
};

class QuickSetTest : public ::testing::TestWithParam<QuickSetCase> {};

TEST_P(QuickSetTest, SchedulesMinutesAfterTheClock) {
    const QuickSetCase& c = GetParam();
    FakePlatform p(c.clock);
    p.load();
    for (int i = 0; i < c.level; ++i)
        p.handle(Event::SetteiClick);
    ASSERT_EQ(p.state.PresetLevel, c.level);

    p.handle(Event::P5Click);
    EXPECT_EQ(p.labelCaption(LabelId::YOTEI), QString::fromUtf16(c.afterP5));
    p.handle(Event::P10Click);
    EXPECT_EQ(p.labelCaption(LabelId::YOTEI), QString::fromUtf16(c.afterP10));
    EXPECT_EQ(p.state.PresetLevel, c.level) << "a quick-set click leaves the presets alone";
    EXPECT_TRUE(p.watching());
}

INSTANTIATE_TEST_SUITE_P(
    Table, QuickSetTest,
    ::testing::Values(
        QuickSetCase{"acrossTheHour", At(9, 58, 30), 0, u"10時01分30秒", u"10時03分30秒"},
        QuickSetCase{"acrossMidnight", At(23, 57, 0), 0, u"0時00分00秒", u"0時02分00秒"},
        QuickSetCase{"topLevel", At(10, 20, 5), 5, u"11時10分05秒", u"11時15分05秒"},
        QuickSetCase{"fromMidnight", At(0, 0, 0), 0, u"0時03分00秒", u"0時05分00秒"},
        QuickSetCase{"level1WithinTheHour", At(6, 30, 59), 1, u"6時40分59秒", u"6時45分59秒"},
        QuickSetCase{"level3AcrossMidnight", At(23, 30, 0), 3, u"0時00分00秒", u"0時05分00秒"},
        QuickSetCase{"lastSecondOfDay", At(23, 59, 59), 0, u"0時02分59秒", u"0時04分59秒"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StepPresets, SettingWithNoBoxStepsUpToFiftyAndStops) {
    FakePlatform p(At(9, 0, 0));
    p.load();
    const char16_t* expected[][2] = {{u"１０分後", u"１５分後"}, {u"２０分後", u"２５分後"},
                                     {u"３０分後", u"３５分後"}, {u"４０分後", u"４５分後"},
                                     {u"５０分後", u"５５分後"}, {u"５０分後", u"５５分後"}};
    for (int press = 0; press < 6; ++press) {
        p.handle(Event::SetteiClick);
        SCOPED_TRACE(press + 1);
        EXPECT_EQ(p.buttonCaption(ButtonId::P5), QString::fromUtf16(expected[press][0]));
        EXPECT_EQ(p.buttonCaption(ButtonId::P10), QString::fromUtf16(expected[press][1]));
        const int level = std::min(press + 1, 5);
        EXPECT_EQ(p.state.PresetLevel, level);
        EXPECT_EQ(p.state.P5Minutes, level * 10);
        EXPECT_EQ(p.state.P10Minutes, level * 10 + 5);
    }
    EXPECT_TRUE(p.labelCaption(LabelId::YOTEI).isEmpty());
}

TEST(StepPresets, CaptionsMatchTheirMinutesAtEveryLevel) {
    for (int16_t level = 0; level <= kTopPresetLevel; ++level) {
        const Preset& row = PresetAt(level);
        // The caption's number in full-width digits, then "分後".
        const auto number = [](const char16_t* caption) {
            int n = 0;
            for (const char16_t* c = caption; *c != u'分'; ++c)
                n = n * 10 + (*c - u'０');
            return n;
        };
        EXPECT_EQ(number(row.p5Caption), row.p5Minutes);
        EXPECT_EQ(number(row.p10Caption), row.p10Minutes);
    }
}

TEST(StepPresets, RingingLeavesThePresetsAsTheyWere) {
    FakePlatform p(At(9, 0, 0));
    p.load();
    p.handle(Event::SetteiClick); // level 1: 10 and 15 minutes
    p.handle(Event::P5Click);     // 9:10:00
    ASSERT_TRUE(p.runUntil([&] { return p.timerEnabled(TimerId::Alarm); }, 11 * 60 * 1000));
    ASSERT_TRUE(p.runUntil([&] { return p.watching(); }, 31 * 60 * 1000));
    EXPECT_EQ(p.state.P5Minutes, 10);
    EXPECT_EQ(p.buttonCaption(ButtonId::P5), QString::fromUtf16(u"１０分後"));
    p.showTime(10, 0, 0);
    p.handle(Event::P5Click);
    EXPECT_EQ(p.labelCaption(LabelId::YOTEI), QString::fromUtf16(u"10時10分00秒"));
}

} // namespace
} // namespace vellomarin::test
