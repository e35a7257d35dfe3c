#include "core/clock/TimeText.h"

#include <gtest/gtest.h>

namespace vellomarin {
namespace {

struct FormatCase {
    const char* name;
    int16_t hour, minute, second;
    const char16_t* text;
};

class FormatTimeTextTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatTimeTextTest, WritesHourUnpaddedMinuteAndSecondAsTwoDigits) {
    const FormatCase& c = GetParam();
    EXPECT_EQ(FormatTimeText(c.hour, c.minute, c.second), QString::fromUtf16(c.text));
}

INSTANTIATE_TEST_SUITE_P(
    Table, FormatTimeTextTest,
    ::testing::Values(FormatCase{"morning", 9, 5, 3, u"9時05分03秒"},
                      FormatCase{"noon", 12, 0, 0, u"12時00分00秒"},
                      FormatCase{"justAfterMidnight", 0, 9, 10, u"0時09分10秒"},
                      FormatCase{"midnight", 0, 0, 0, u"0時00分00秒"},
                      FormatCase{"lastSecondOfDay", 23, 59, 59, u"23時59分59秒"},
                      FormatCase{"nineIsPadded", 9, 9, 9, u"9時09分09秒"},
                      FormatCase{"tenIsNotPadded", 10, 10, 10, u"10時10分10秒"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ParseTimeText, ReadsBackEveryTimeOfTheDay) {
    for (int16_t h = 0; h < 24; ++h)
        for (int16_t m = 0; m < 60; ++m)
            for (int16_t s = 0; s < 60; ++s) {
                const auto parsed = ParseTimeText(FormatTimeText(h, m, s));
                ASSERT_TRUE(parsed) << h << ":" << m << ":" << s;
                ASSERT_EQ(*parsed, (TimeOfDay{h, m, s}));
            }
}

TEST(ParseTimeText, RefusesTextsThatNoClockTickWrites) {
    for (const char16_t* text :
         {u"", u"9", u"9時", u"9時05分", u"9時05分03", u"9時5分03秒", u"9時05分3秒",
          u"09時05分03秒", u"00時05分03秒", u"24時00分00秒", u"9時60分00秒", u"9時00分60秒",
          u"9時05分03秒 ", u" 9時05分03秒", u"９時05分03秒", u"9:05:03", u"123時00分00秒",
          u"-1時00分00秒", u"9時05分03秒秒"}) {
        EXPECT_FALSE(ParseTimeText(QString::fromUtf16(text)))
            << QString::fromUtf16(text).toStdString();
    }
}

} // namespace
} // namespace vellomarin
