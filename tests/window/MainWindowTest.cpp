#include "window/MainWindow.h"
#include "core/clock/TimeText.h"
#include "qt/PhasedTimer.h"
#include "window/PictureBox.h"

#include <QAccessible>
#include <QApplication>
#include <QFontInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace vellomarin {
namespace {

class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest() : window([this] { ++beeps; }, [this] { return heard; }) {}

    template <typename T = QWidget> T* find(const char* name) {
        auto* w = window.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    // PANEL is a widget of its own, with a text as QLabel has.
    QString text(const char* label) { return find(label)->property("text").toString(); }
    void showAndActivate() {
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    // Types text as key events, one character (a surrogate pair counts as one) at a
    // time, as a keyboard would; unlike QTest::keyClicks it takes any Unicode.
    static void type(QWidget* box, const QString& text) {
        for (qsizetype i = 0; i < text.size(); ++i) {
            const qsizetype length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, text.mid(i, length));
            QApplication::sendEvent(box, &press);
            i += length - 1;
        }
    }
    void click(const char* button) { QTest::mouseClick(find<QPushButton>(button), Qt::LeftButton); }

    int beeps = 0;
    bool heard = true; // whether a beep can make a sound
    MainWindow window;
};

struct Placement {
    const char* name;
    const char* container;
    QRect pixels;
};

TEST_F(MainWindowTest, EveryControlSitsInItsPlace) {
    const Placement table[] = {
        {"Settei", "Vellomarin", {8, 144, 185, 25}}, {"Sec", "Vellomarin", {136, 112, 33, 24}},
        {"Min", "Vellomarin", {72, 112, 33, 24}},    {"Hou", "Vellomarin", {8, 112, 33, 24}},
        {"Cancel", "Vellomarin", {136, 80, 57, 25}}, {"Picture2", "Vellomarin", {48, 48, 145, 25}},
        {"YOTEI", "Picture2", {0, 0, 145, 25}},      {"Picture1", "Vellomarin", {8, 8, 185, 33}},
        {"PANEL", "Picture1", {0, 0, 185, 33}},      {"P10", "Vellomarin", {72, 80, 57, 25}},
        {"P5", "Vellomarin", {8, 80, 57, 25}},       {"Byou", "Vellomarin", {168, 120, 33, 17}},
        {"Fun", "Vellomarin", {104, 120, 33, 17}},   {"Ji", "Vellomarin", {40, 120, 33, 17}},
    };
    EXPECT_EQ(window.size(), QSize(201, 175));
    for (const Placement& p : table) {
        SCOPED_TRACE(p.name);
        QWidget* w = find(p.name);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->geometry(), p.pixels);
        // A label in a picture box lies on the box's inside, measured from its border.
        QWidget* container = w->parentWidget();
        if (auto* box = qobject_cast<PictureBox*>(container->parentWidget()))
            container = box;
        EXPECT_EQ(container->objectName(), QString::fromLatin1(p.container));
        EXPECT_TRUE(w->isVisibleTo(&window));
        EXPECT_TRUE(w->isEnabled());
    }
}

TEST_F(MainWindowTest, LabelsInPictureBoxesAreClippedByTheBorder) {
    showAndActivate();
    for (const char* name : {"PANEL", "YOTEI"}) {
        QWidget* label = find(name);
        auto* box = qobject_cast<PictureBox*>(label->parentWidget()->parentWidget());
        ASSERT_NE(box, nullptr);
        const QRect inside = box->contentsRect();
        EXPECT_EQ(inside, box->rect().adjusted(2, 2, -2, -2)) << "a sunken 2-pixel border";
        EXPECT_EQ(label->visibleRegion().boundingRect(), QRect(QPoint(0, 0), inside.size()))
            << name << " runs under the right and bottom border";
    }
}

TEST_F(MainWindowTest, BoxesAreDrawnOverTheFirstColumnOfTheirUnitLabels) {
    const std::pair<const char*, QPoint> columns[] = {
        {"Hou", {40, 125}}, {"Min", {104, 125}}, {"Sec", {168, 125}}};
    for (const auto& [box, point] : columns)
        EXPECT_EQ(window.childAt(point), find(box)) << box;
}

TEST_F(MainWindowTest, ScreenReadersHearTheTimeOnTheFocusedBoxAndTheBoxesNamed) {
    const auto name = [](QObject* o) {
        return QAccessible::queryAccessibleInterface(o)->text(QAccessible::Name);
    };
    EXPECT_EQ(QAccessible::queryAccessibleInterface(&window)->role(), QAccessible::Window);
    EXPECT_EQ(name(find("Picture1")), text("PANEL"));
    EXPECT_EQ(name(find("Picture2")), text("YOTEI"));
    EXPECT_EQ(name(find("Hou")), QString::fromUtf16(u"時"));
    EXPECT_EQ(name(find("Min")), QString::fromUtf16(u"分"));
    EXPECT_EQ(name(find("Sec")), QString::fromUtf16(u"秒"));
}

TEST_F(MainWindowTest, ClockTextFitsInsideTheBorderWhateverTheHour) {
    // The widest clock text: two-digit hour, and the text centred on what shows.
    QWidget* panel = find("PANEL");
    const QString widest = QString::fromUtf16(u"23時58分58秒");
    const int visible = panel->width() - panel->contentsMargins().right();
    EXPECT_EQ(visible, find("Picture1")->contentsRect().width());
    EXPECT_LE(QFontMetrics(panel->font()).horizontalAdvance(widest), visible);
}

TEST_F(MainWindowTest, FontsAreMinchoAtTheirSizesAndButtonsKeepTheDefault) {
    const std::pair<const char*, qreal> mincho[] = {
        {"Settei", 12},   {"Sec", 12},  {"Min", 12}, {"Hou", 12}, {"YOTEI", 14.25},
        {"PANEL", 20.25}, {"Byou", 12}, {"Fun", 12}, {"Ji", 12}};
    for (const auto& [name, points] : mincho) {
        SCOPED_TRACE(name);
        const QFont font = find(name)->font();
        EXPECT_DOUBLE_EQ(font.pointSizeF(), points);
        const QFontInfo resolved(font);
        EXPECT_TRUE(resolved.family().contains(QStringLiteral("Mincho")) ||
                    resolved.family().contains(QString::fromUtf16(u"明朝")))
            << resolved.family().toStdString();
        EXPECT_EQ(resolved.weight(), QFont::Normal);
        EXPECT_FALSE(resolved.italic());
        EXPECT_FALSE(font.underline());
        EXPECT_FALSE(font.strikeOut());
    }
    for (const char* name : {"P5", "P10", "Cancel"})
        EXPECT_EQ(find(name)->font(), QApplication::font(find(name))) << name;
}

TEST_F(MainWindowTest, LabelsHaveTheirColours) {
    QWidget* panel = find("PANEL");
    QWidget* yotei = find("YOTEI");
    EXPECT_EQ(panel->palette().color(QPalette::Window), QColor(0, 192, 0));
    EXPECT_EQ(panel->palette().color(QPalette::WindowText), QColor(0, 0, 0));
    EXPECT_EQ(yotei->palette().color(QPalette::Window), QColor(0, 192, 192));
    EXPECT_EQ(yotei->palette().color(QPalette::WindowText),
              QApplication::palette().color(QPalette::WindowText));
    for (const char* name : {"PANEL", "YOTEI", "Ji", "Fun", "Byou"})
        EXPECT_TRUE(find(name)->autoFillBackground()) << name << " is opaque";
    for (const char* name : {"YOTEI", "Ji", "Fun", "Byou"})
        EXPECT_EQ(find<QLabel>(name)->alignment(), Qt::AlignCenter) << name;
    for (const char* name : {"Hou", "Min", "Sec"})
        EXPECT_EQ(find<QLineEdit>(name)->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
}

TEST_F(MainWindowTest, StartsWithTheTimeShownAndNothingScheduled) {
    // Before the window is ever shown.
    EXPECT_TRUE(ParseTimeText(text("PANEL")));
    EXPECT_TRUE(text("YOTEI").isEmpty());
    for (const char* box : {"Hou", "Min", "Sec"})
        EXPECT_TRUE(find<QLineEdit>(box)->text().isEmpty());
    EXPECT_EQ(find<QPushButton>("P5")->text(), QString::fromUtf16(u"３分後"));
    EXPECT_EQ(find<QPushButton>("P10")->text(), QString::fromUtf16(u"５分後"));
    EXPECT_EQ(find<QPushButton>("Cancel")->text(), QString::fromUtf16(u"解除"));
    EXPECT_EQ(find<QPushButton>("Settei")->text(), QString::fromUtf16(u"設定"));
    EXPECT_EQ(text("Ji"), QString::fromUtf16(u"時"));
    EXPECT_EQ(window.state().P5Minutes, 3);
    EXPECT_EQ(window.state().P10Minutes, 5);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Vellomarin"));
    EXPECT_TRUE(window.windowIcon().availableSizes().contains(QSize(32, 32)));

    showAndActivate();
    EXPECT_EQ(QApplication::focusWidget(), find("P5"));
}

TEST_F(MainWindowTest, TimersHaveTheirIntervalsAndStartStates) {
    auto* jikoku = find<PhasedTimer>("Jikoku");
    auto* alarm = find<QTimer>("Alarm");
    EXPECT_EQ(jikoku->interval(), 1000);
    EXPECT_TRUE(jikoku->isEnabled());
    EXPECT_EQ(alarm->interval(), 100);
    EXPECT_FALSE(alarm->isActive());
}

TEST_F(MainWindowTest, ClockLabelFollowsTheWallClock) {
    QSignalSpy ticks(find<PhasedTimer>("Jikoku"), &PhasedTimer::timeout);
    ASSERT_TRUE(ticks.wait(1500));
    const QTime now = QTime::currentTime();
    const auto shown = ParseTimeText(text("PANEL"));
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->second, now.second()) << "rewritten in the second it shows";
}

TEST_F(MainWindowTest, ClockKeepsRunningWhileMinimised) {
    window.showMinimized();
    QApplication::processEvents();
    QSignalSpy ticks(find<PhasedTimer>("Jikoku"), &PhasedTimer::timeout);
    const QString before = text("PANEL");
    ASSERT_TRUE(ticks.wait(1500));
    EXPECT_NE(text("PANEL"), before);
}

TEST_F(MainWindowTest, TabVisitsTheControlsInOrderAndWraps) {
    showAndActivate();
    const char* order[] = {"P5",  "P10", "Picture1", "Picture2", "Cancel",
                           "Hou", "Min", "Sec",      "Settei",   "P5"};
    find("P5")->setFocus();
    for (size_t i = 1; i < std::size(order); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), find(order[i])) << "after " << order[i - 1];
    }
    for (const char* label : {"PANEL", "YOTEI", "Ji", "Fun", "Byou"})
        EXPECT_EQ(find(label)->focusPolicy(), Qt::NoFocus) << label;
}

TEST_F(MainWindowTest, BoxesHoldTheInputMethodOffAndHaveNoLengthLimit) {
    for (const char* name : {"Hou", "Min", "Sec"}) {
        auto* box = find<QLineEdit>(name);
        EXPECT_FALSE(box->testAttribute(Qt::WA_InputMethodEnabled)) << name;
        EXPECT_FALSE(box->inputMethodQuery(Qt::ImEnabled).toBool()) << name;
        EXPECT_GE(box->maxLength(), 1 << 30) << name;
    }
}

TEST_F(MainWindowTest, EnterAndEscapeInABoxClickNothing) {
    showAndActivate();
    std::vector<std::unique_ptr<QSignalSpy>> spies;
    for (auto* b : window.findChildren<QPushButton*>()) {
        EXPECT_FALSE(b->isDefault()) << b->objectName().toStdString();
        EXPECT_FALSE(b->autoDefault()) << b->objectName().toStdString();
        spies.push_back(std::make_unique<QSignalSpy>(b, &QPushButton::clicked));
    }
    auto* hou = find<QLineEdit>("Hou");
    hou->setFocus();
    type(hou, QStringLiteral("7"));
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
        QTest::keyClick(hou, key);
    for (const auto& spy : spies)
        EXPECT_EQ(spy->count(), 0);
    EXPECT_EQ(hou->text(), QStringLiteral("7"));
    EXPECT_TRUE(text("YOTEI").isEmpty());
}

TEST_F(MainWindowTest, ResizingMovesNothing) {
    showAndActivate();
    std::vector<std::pair<QWidget*, QRect>> before;
    for (QWidget* w : window.findChildren<QWidget*>())
        before.emplace_back(w, w->geometry());
    window.resize(640, 480);
    QApplication::processEvents();
    window.showMaximized();
    QApplication::processEvents();
    for (const auto& [w, geometry] : before)
        EXPECT_EQ(w->geometry(), geometry) << w->objectName().toStdString();
}

struct TypedEntry {
    const char* name;
    const char16_t* boxes[3]; // typed into Hou, Min, Sec
    const char16_t* yotei;    // YOTEI after 設定; nullptr: unchanged and presets stepped
};

class TypedEntryTest : public MainWindowTest, public ::testing::WithParamInterface<TypedEntry> {};

TEST_P(TypedEntryTest, TypingAndClickingSetteiSchedules) {
    const TypedEntry& c = GetParam();
    showAndActivate();
    const char* names[] = {"Hou", "Min", "Sec"};
    for (int i = 0; i < 3; ++i) {
        auto* box = find<QLineEdit>(names[i]);
        QTest::mouseClick(box, Qt::LeftButton);
        type(box, QString::fromUtf16(c.boxes[i]));
        ASSERT_EQ(box->text(), QString::fromUtf16(c.boxes[i])) << names[i];
    }
    click("Settei");
    if (c.yotei) {
        EXPECT_EQ(text("YOTEI"), QString::fromUtf16(c.yotei));
        EXPECT_EQ(find<QPushButton>("P5")->text(), QString::fromUtf16(u"３分後"));
    } else {
        EXPECT_TRUE(text("YOTEI").isEmpty());
        EXPECT_EQ(find<QPushButton>("P5")->text(), QString::fromUtf16(u"１０分後"));
        EXPECT_EQ(find<QPushButton>("P10")->text(), QString::fromUtf16(u"１５分後"));
    }
    for (const char* name : names)
        EXPECT_TRUE(find<QLineEdit>(name)->text().isEmpty()) << name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, TypedEntryTest,
    ::testing::Values(TypedEntry{"allThree", {u"6", u"30", u"15"}, u"6時30分15秒"},
                      TypedEntry{"roundedHalfToEven", {u"22.5", u"0", u"59"}, u"22時00分59秒"},
                      TypedEntry{"blanksAndExponent", {u" 1 2", u"3e1", u"0"}, u"12時30分00秒"},
                      TypedEntry{"oneRejected", {u"6", u"30", u"99"}, u"6時30分00秒"},
                      TypedEntry{"fullWidthReadsZero", {u"６", u"３０", u"１５"}, u"0時00分00秒"},
                      TypedEntry{"emojiReadsZero", {u"😀", u"5", u"5"}, u"0時05分05秒"},
                      TypedEntry{"allRejected", {u"-1", u"60", u"1e999"}, nullptr},
                      TypedEntry{"allEmpty", {u"", u"", u""}, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainWindowTest, QuickSetButtonsScheduleMinutesAfterTheClockShown) {
    showAndActivate();
    for (const auto& [button, minutes] : {std::pair{"P5", 3}, std::pair{"P10", 5}}) {
        const QString shown = text("PANEL");
        click(button);
        // The clock may have ticked since; the alarm counts from the time shown at the click.
        const QTime clock = QTime::fromString(shown, QString::fromUtf16(u"H時mm分ss秒"));
        ASSERT_TRUE(clock.isValid()) << shown.toStdString();
        const QTime due = clock.addSecs(minutes * 60);
        EXPECT_EQ(text("YOTEI"), due.toString(QString::fromUtf16(u"H時mm分ss秒"))) << button;
    }
}

TEST_F(MainWindowTest, CancelClearsTheScheduleAndResetsThePresets) {
    showAndActivate();
    click("Settei");
    click("Settei");
    click("P10");
    ASSERT_FALSE(text("YOTEI").isEmpty());
    ASSERT_EQ(find<QPushButton>("P10")->text(), QString::fromUtf16(u"２５分後"));
    click("Cancel");
    EXPECT_TRUE(text("YOTEI").isEmpty());
    EXPECT_EQ(find<QPushButton>("P5")->text(), QString::fromUtf16(u"３分後"));
    EXPECT_EQ(find<QPushButton>("P10")->text(), QString::fromUtf16(u"５分後"));
    EXPECT_EQ(find<QPushButton>("P10")->size(), QSize(57, 25)) << "captions never resize a button";
}

TEST_F(MainWindowTest, PastingAMegabyteIsEmptiedBySettei) {
    showAndActivate();
    auto* sec = find<QLineEdit>("Sec");
    sec->setText(QString(1 << 20, u'5'));
    ASSERT_EQ(sec->text().size(), 1 << 20);
    click("Settei");
    EXPECT_TRUE(sec->text().isEmpty());
    EXPECT_TRUE(text("YOTEI").isEmpty()) << "a number beyond a double is not used";
}

TEST_F(MainWindowTest, RingsThroughTheRealTimersAndCancelStopsIt) {
    showAndActivate();
    // The clock time itself is due at once: the click starts the ringing.
    click("Settei"); // steps the presets, so scheduling uses the boxes below
    const QTime now = QTime::currentTime();
    find<QLineEdit>("Hou")->setText(QString::number(now.hour()));
    find<QLineEdit>("Min")->setText(QString::number(now.minute()));
    find<QLineEdit>("Sec")->setText(QString::number(now.second()));
    click("Settei");
    auto* alarm = find<QTimer>("Alarm");
    QSignalSpy alarmTicks(alarm, &QTimer::timeout);
    ASSERT_TRUE(alarmTicks.wait(3000)) << "never rang";
    EXPECT_GE(beeps, 2);
    EXPECT_EQ(beeps % 2, 0) << "two beeps a tick";
    click("Cancel");
    const int afterCancel = beeps;
    EXPECT_FALSE(alarm->isActive());
    EXPECT_FALSE(alarmTicks.wait(300));
    EXPECT_EQ(beeps, afterCancel);
    EXPECT_EQ(find<QPushButton>("P5")->text(), QString::fromUtf16(u"３分後"));
}

TEST_F(MainWindowTest, RingingNoOneCanHearShowsInYoteiUntilItEnds) {
    heard = false;
    showAndActivate();
    auto* yotei = find<QLabel>("YOTEI");
    const auto background = [yotei] { return yotei->palette().color(QPalette::Window); };
    const QColor teal = background();
    // The time PANEL shows is due at once.
    const auto shown = ParseTimeText(text("PANEL"));
    ASSERT_TRUE(shown);
    find<QLineEdit>("Hou")->setText(QString::number(shown->hour));
    find<QLineEdit>("Min")->setText(QString::number(shown->minute));
    find<QLineEdit>("Sec")->setText(QString::number(shown->second));
    find<QPushButton>("Settei")->click();
    ASSERT_TRUE(find<QTimer>("Alarm")->isActive());
    EXPECT_NE(background(), teal) << "the first tick shows at once";
    QSignalSpy ticks(find<QTimer>("Alarm"), &QTimer::timeout);
    ASSERT_TRUE(ticks.wait(1000));
    EXPECT_EQ(background(), teal) << "the colours swap every tick";
    ASSERT_TRUE(ticks.wait(1000));
    EXPECT_NE(background(), teal);
    click("Cancel");
    EXPECT_EQ(background(), teal) << "the ringing's end puts the colours back";
}

} // namespace
} // namespace vellomarin
