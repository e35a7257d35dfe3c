#include "clock/TimeText.h"
#include "platform/PhasedTimer.h"
#include "window/MainWindow.h"
#include "window/PictureBox.h"

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
    MainWindowTest() : window([this] { ++beeps; }) {}

    template <typename T = QWidget> T* find(const char* name) {
        auto* w = window.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QString text(const char* label) { return find<QLabel>(label)->text(); }
    void showAndActivate() {
        window.show();
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    // Types text as key events, one character at a time, as a keyboard would; unlike
    // QTest::keyClicks it takes any Unicode.
    static void type(QWidget* box, const QString& text) {
        for (QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(box, &press);
        }
    }
    void click(const char* button) { QTest::mouseClick(find<QPushButton>(button), Qt::LeftButton); }

    int beeps = 0;
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
        {"Min", "Vellomarin", {72, 112, 33, 24}},     {"Hou", "Vellomarin", {8, 112, 33, 24}},
        {"Cancel", "Vellomarin", {136, 80, 57, 25}},  {"Picture2", "Vellomarin", {48, 48, 145, 25}},
        {"YOTEI", "Picture2", {0, 0, 145, 25}},        {"Picture1", "Vellomarin", {8, 8, 185, 33}},
        {"PANEL", "Picture1", {0, 0, 185, 33}},        {"P10", "Vellomarin", {72, 80, 57, 25}},
        {"P5", "Vellomarin", {8, 80, 57, 25}},         {"Byou", "Vellomarin", {168, 120, 33, 17}},
        {"Fun", "Vellomarin", {104, 120, 33, 17}},     {"Ji", "Vellomarin", {40, 120, 33, 17}},
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
        auto* label = find<QLabel>(name);
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

TEST_F(MainWindowTest, FontsAreMinchoAtTheirSizesAndButtonsKeepTheDefault) {
    const std::pair<const char*, qreal> mincho[] = {{"Settei", 12},  {"Sec", 12},   {"Min", 12},
                                                    {"Hou", 12},     {"YOTEI", 14.25},
                                                    {"PANEL", 20.25}, {"Byou", 12}, {"Fun", 12},
                                                    {"Ji", 12}};
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
    auto* panel = find<QLabel>("PANEL");
    auto* yotei = find<QLabel>("YOTEI");
    EXPECT_EQ(panel->palette().color(QPalette::Window), QColor(0, 192, 0));
    EXPECT_EQ(panel->palette().color(QPalette::WindowText), QColor(0, 0, 0));
    EXPECT_EQ(yotei->palette().color(QPalette::Window), QColor(0, 192, 192));
    EXPECT_EQ(yotei->palette().color(QPalette::WindowText),
              QApplication::palette().color(QPalette::WindowText));
    for (const char* name : {"PANEL", "YOTEI", "Ji", "Fun", "Byou"}) {
        EXPECT_TRUE(find(name)->autoFillBackground()) << name << " is opaque";
        EXPECT_EQ(find<QLabel>(name)->alignment(), Qt::AlignCenter) << name;
    }
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
    auto* check = find<PhasedTimer>("Check");
    auto* alarm = find<QTimer>("Alarm");
    EXPECT_EQ(jikoku->interval(), 1000);
    EXPECT_TRUE(jikoku->isEnabled());
    EXPECT_EQ(check->interval(), 100);
    EXPECT_TRUE(check->isEnabled());
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

} // namespace
} // namespace vellomarin
