#include "fake/FakePlatform.h"

#include "core/alarm/Entry.h"
#include "core/clock/ClockHandlers.h"

#include <gtest/gtest.h>

namespace vellomarin::test {
namespace {

struct EntryCase {
    const char* name;
    int64_t clock;            // wall time when the button is pressed
    const char16_t* boxes[3]; // Hou, Min, Sec
    const char16_t* yotei;    // YOTEI after the click; nullptr: unchanged (presets stepped)
};

class SetteiClickTest : public ::testing::TestWithParam<EntryCase> {};

TEST_P(SetteiClickTest, ComposesTheAlarmFromTheBoxesAndTheClock) {
    const EntryCase& c = GetParam();
    FakePlatform p(c.clock);
    p.load();
    const QString before = QStringLiteral("previous");
    p.setLabelCaption(LabelId::YOTEI, before);
    const BoxId ids[] = {BoxId::Hou, BoxId::Min, BoxId::Sec};
    for (int i = 0; i < 3; ++i)
        p.setBoxText(ids[i], QString::fromUtf16(c.boxes[i]));

    Settei_Click(p, p.state);

    if (c.yotei) {
        EXPECT_EQ(p.labelCaption(LabelId::YOTEI), QString::fromUtf16(c.yotei));
        EXPECT_EQ(p.state.PresetLevel, 0) << "an accepted box must not step the presets";
    } else {
        EXPECT_EQ(p.labelCaption(LabelId::YOTEI), before);
        EXPECT_EQ(p.state.PresetLevel, 1);
        EXPECT_EQ(p.buttonCaption(ButtonId::P5), QString::fromUtf16(u"１０分後"));
    }
    for (BoxId box : ids)
        EXPECT_TRUE(p.boxText(box).isEmpty()) << "every box is empty after the click";
    EXPECT_EQ(p.state.EntryFlag, 0);
    EXPECT_TRUE(p.watching());
    EXPECT_FALSE(p.timerEnabled(TimerId::Alarm));
}

INSTANTIATE_TEST_SUITE_P(
    Table, SetteiClickTest,
    ::testing::Values(
        EntryCase{"hourOnly", At(10, 23, 45), {u"7", u"", u""}, u"7時23分00秒"},
        EntryCase{"minuteOnly", At(9, 40, 12), {u"", u"5", u""}, u"9時05分00秒"},
        EntryCase{"secondOnly", At(9, 40, 12), {u"", u"", u"30"}, u"9時40分30秒"},
        EntryCase{"allThree", At(17, 1, 2), {u"6", u"30", u"15"}, u"6時30分15秒"},
        EntryCase{"allThreeAtMidnight", At(0, 0, 0), {u"6", u"30", u"15"}, u"6時30分15秒"},
        EntryCase{"minute59Accepted", At(9, 0, 0), {u"", u"59", u""}, u"9時59分00秒"},
        EntryCase{"second59Accepted", At(9, 0, 0), {u"", u"", u"59"}, u"9時00分59秒"},
        EntryCase{"minute60Rejected", At(9, 0, 0), {u"", u"60", u""}, nullptr},
        EntryCase{"second60Rejected", At(9, 0, 0), {u"", u"", u"60"}, nullptr},
        EntryCase{"hour23Accepted", At(9, 0, 0), {u"23", u"", u""}, u"23時00分00秒"},
        EntryCase{"hour24Rejected", At(9, 0, 0), {u"24", u"", u""}, nullptr},
        EntryCase{"lettersReadAsZero", At(9, 15, 0), {u"abc", u"", u""}, u"0時15分00秒"},
        EntryCase{"negativeHourRejected", At(9, 0, 0), {u"-1", u"", u""}, nullptr},
        EntryCase{"negativeMinuteRejected", At(9, 0, 0), {u"", u"-1", u""}, nullptr},
        EntryCase{"negativeSecondRejected", At(9, 0, 0), {u"", u"", u"-1"}, nullptr},
        EntryCase{"halfRoundsToEvenDown", At(9, 0, 0), {u"22.5", u"", u""}, u"22時00分00秒"},
        EntryCase{"halfRoundsToEvenUp", At(9, 0, 0), {u"21.5", u"", u""}, u"22時00分00秒"},
        EntryCase{"roundsUp", At(9, 0, 0), {u"22.6", u"", u""}, u"23時00分00秒"},
        EntryCase{"aboveBoundRejected", At(9, 0, 0), {u"23.4", u"", u""}, nullptr},
        EntryCase{"minuteHalfRoundsToEven", At(9, 0, 0), {u"", u"58.5", u"0.5"}, u"9時58分00秒"},
        EntryCase{"oneRejectedOneAccepted", At(8, 20, 0), {u"99", u"45", u""}, u"8時45分00秒"},
        EntryCase{"rejectedKeepsClockValue", At(8, 20, 0), {u"3", u"75", u"x"}, u"3時20分00秒"},
        EntryCase{"allEmptyStepsPresets", At(9, 0, 0), {u"", u"", u""}, nullptr},
        EntryCase{"allRejectedStepsPresets", At(9, 0, 0), {u"24", u"60", u"-5"}, nullptr},
        EntryCase{"beyondADoubleRejected", At(9, 0, 0), {u"1e999", u"", u""}, nullptr},
        EntryCase{"beyondADoubleNegativeRejected", At(9, 0, 0), {u"", u"-1e999", u""}, nullptr},
        EntryCase{"tinyIsZero", At(9, 0, 0), {u"", u"1e-999", u""}, u"9時00分00秒"},
        EntryCase{"blanksAndExponent", At(9, 0, 0), {u" 1 . 2e1 ", u"", u""}, u"12時00分00秒"},
        EntryCase{"blankOnlyReadsZero", At(9, 5, 0), {u" ", u"", u""}, u"0時05分00秒"},
        EntryCase{"fullWidthReadsZero", At(9, 5, 0), {u"", u"", u"３０"}, u"9時05分00秒"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SetteiClick, AcceptsAnyTextWithoutCrashing) {
    FakePlatform p(At(12, 34, 56));
    p.load();
    QString megabyte(1 << 20, u'7');
    QString thousandDigits(1000, u'1');
    QString surrogates;
    for (char16_t c : {u'\xD800', u'\xDC00', u'\xDFFF', u'1'})
        surrogates.append(QChar(c));
    QString controls;
    for (char16_t c = 0; c < 32; ++c)
        controls.append(QChar(c));
    for (const QString& text : {megabyte, thousandDigits, surrogates, controls,
                                QString::fromUtf16(u"👍👍👍"), QString(1 << 20, u'\n')}) {
        for (BoxId box : {BoxId::Hou, BoxId::Min, BoxId::Sec})
            p.setBoxText(box, text);
        Settei_Click(p, p.state);
        for (BoxId box : {BoxId::Hou, BoxId::Min, BoxId::Sec})
            EXPECT_TRUE(p.boxText(box).isEmpty());
        EXPECT_EQ(p.state.EntryFlag, 0);
    }
}

TEST(SetteiClick, WhileRingingChangesTheScheduleButKeepsRinging) {
    FakePlatform p(At(7, 0, 0));
    p.load();
    p.setTimerEnabled(TimerId::Alarm, true);
    p.setBoxText(BoxId::Hou, QStringLiteral("8"));
    Settei_Click(p, p.state);
    EXPECT_EQ(p.labelCaption(LabelId::YOTEI), QString::fromUtf16(u"8時00分00秒"));
    EXPECT_TRUE(p.timerEnabled(TimerId::Alarm));
    EXPECT_FALSE(p.watching());
}

} // namespace
} // namespace vellomarin::test
