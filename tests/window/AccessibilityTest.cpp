// What a screen reader gets from the window, read through Qt's accessibility
// interfaces (the same ones the AT-SPI bridge serves), and keyboard use alone.

#include "core/clock/TimeText.h"
#include "window/MainWindow.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <set>

namespace vellomarin {
namespace {

class AccessibilityTest : public ::testing::Test {
protected:
    AccessibilityTest() : window([] {}) {}

    QWidget* find(const char* name) {
        auto* w = window.findChild<QWidget*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QAccessibleInterface* accessible(const char* name) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(find(name));
        EXPECT_NE(a, nullptr) << name;
        return a;
    }
    QString label(const char* name) { return find(name)->property("text").toString(); }
    void showAndActivate() {
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    // Tab from P5 until `name` has the focus, as someone without a mouse would.
    void tabTo(const char* name) {
        find("P5")->setFocus();
        for (int presses = 0; QApplication::focusWidget() != find(name); ++presses) {
            ASSERT_LT(presses, 20) << name << " is never reached by Tab";
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
    }

    MainWindow window;
};

// Every control a person can see; the picture boxes' inner client areas are not
// controls of their own.
const char* const kControls[] = {"Picture1", "PANEL", "Picture2", "YOTEI",  "P5", "P10", "Cancel",
                                 "Hou",      "Min",   "Sec",      "Settei", "Ji", "Fun", "Byou"};

bool hasJapanese(const QString& text) {
    for (QChar c : text)
        if ((c.unicode() >= 0x3040 && c.unicode() <= 0x30ff) || // kana
            (c.unicode() >= 0x4e00 && c.unicode() <= 0x9fff))   // kanji
            return true;
    return false;
}

TEST_F(AccessibilityTest, EveryVisibleControlSaysInJapaneseWhatItIsFor) {
    std::set<QString> seen;
    for (const char* name : kControls) {
        SCOPED_TRACE(name);
        QAccessibleInterface* a = accessible(name);
        ASSERT_NE(a, nullptr);
        const QString description = a->text(QAccessible::Description);
        EXPECT_TRUE(hasJapanese(description)) << description.toStdString();
        EXPECT_NE(description, a->text(QAccessible::Name)) << "adds to the name";
        // Two controls that do different things must not sound alike.
        EXPECT_TRUE(seen.insert(description).second) << "said twice: " << description.toStdString();
    }
    // Nothing a person can see is left out of the list above.
    for (QWidget* w : window.findChildren<QWidget*>()) {
        if (!w->isVisibleTo(&window) || w->objectName().isEmpty())
            continue;
        EXPECT_FALSE(w->accessibleDescription().isEmpty()) << w->objectName().toStdString();
    }
}

struct Exposed {
    const char* name;
    QAccessible::Role role;
    bool focusable;
};

TEST_F(AccessibilityTest, ControlsHaveRolesAScreenReaderKnows) {
    const Exposed table[] = {
        {"P5", QAccessible::Button, true},         {"P10", QAccessible::Button, true},
        {"Cancel", QAccessible::Button, true},     {"Settei", QAccessible::Button, true},
        {"Hou", QAccessible::EditableText, true},  {"Min", QAccessible::EditableText, true},
        {"Sec", QAccessible::EditableText, true},  {"PANEL", QAccessible::StaticText, false},
        {"YOTEI", QAccessible::StaticText, false}, {"Ji", QAccessible::StaticText, false},
        {"Fun", QAccessible::StaticText, false},   {"Byou", QAccessible::StaticText, false},
        {"Picture1", QAccessible::Border, true},   {"Picture2", QAccessible::Border, true},
    };
    showAndActivate();
    for (const Exposed& e : table) {
        SCOPED_TRACE(e.name);
        QAccessibleInterface* a = accessible(e.name);
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->role(), e.role);
        EXPECT_EQ(a->state().focusable, e.focusable);
        EXPECT_FALSE(a->state().invisible);
        EXPECT_FALSE(a->state().disabled);
    }
}

// A screen reader walks down from the window; a control that is not on that walk
// is never read, whatever it says.
TEST_F(AccessibilityTest, EveryControlIsReachedFromTheWindow) {
    std::set<QObject*> reached;
    std::vector<QAccessibleInterface*> pending{QAccessible::queryAccessibleInterface(&window)};
    while (!pending.empty()) {
        QAccessibleInterface* a = pending.back();
        pending.pop_back();
        reached.insert(a->object());
        for (int i = 0; i < a->childCount(); ++i) {
            QAccessibleInterface* child = a->child(i);
            ASSERT_NE(child, nullptr);
            EXPECT_EQ(child->parent()->object(), a->object()) << "a child knows its parent";
            pending.push_back(child);
        }
    }
    for (const char* name : kControls)
        EXPECT_TRUE(reached.count(find(name))) << name;
}

// The labels are read by what they show, as it changes: the clock every second,
// the scheduled time when one is set or cleared.
TEST_F(AccessibilityTest, LabelsAreReadAsShown) {
    showAndActivate();
    const auto nameIsShownText = [this](const char* name) {
        EXPECT_EQ(accessible(name)->text(QAccessible::Name), label(name)) << name;
    };
    for (const char* name : {"PANEL", "YOTEI", "Ji", "Fun", "Byou"})
        nameIsShownText(name);
    EXPECT_TRUE(ParseTimeText(accessible("PANEL")->text(QAccessible::Name)));

    QTest::mouseClick(qobject_cast<QPushButton*>(find("P5")), Qt::LeftButton);
    ASSERT_TRUE(ParseTimeText(label("YOTEI")));
    nameIsShownText("YOTEI");
    QTest::mouseClick(qobject_cast<QPushButton*>(find("Cancel")), Qt::LeftButton);
    ASSERT_TRUE(label("YOTEI").isEmpty());
    nameIsShownText("YOTEI");

    // Buttons are read by their caption, which steps up with the presets.
    QTest::mouseClick(qobject_cast<QPushButton*>(find("Settei")), Qt::LeftButton);
    EXPECT_EQ(accessible("P5")->text(QAccessible::Name), QString::fromUtf16(u"１０分後"));
    EXPECT_EQ(accessible("P10")->text(QAccessible::Name), QString::fromUtf16(u"１５分後"));
}

struct KeyPress {
    const char* button;
    const char* typedIntoHou;   // before the press, or nullptr
    const char16_t* yoteiAfter; // nullptr: some scheduled time
    const char16_t* p5After;
};

// Space on the focused button does what a click does; nothing else is touched.
TEST_F(AccessibilityTest, SpacePressesTheFocusedButton) {
    const KeyPress table[] = {
        {"P5", nullptr, nullptr, u"３分後"},
        {"P10", nullptr, nullptr, u"３分後"},
        {"Settei", "7", u"7時", u"３分後"},
        {"Settei", nullptr, u"7時", u"１０分後"}, // steps the presets, keeps the schedule
        {"Cancel", nullptr, u"", u"３分後"},
    };
    showAndActivate();
    for (const KeyPress& k : table) {
        SCOPED_TRACE(k.button);
        if (k.typedIntoHou) {
            tabTo("Hou");
            QTest::keyClicks(QApplication::focusWidget(), QString::fromLatin1(k.typedIntoHou));
        }
        tabTo(k.button);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        const QString yotei = label("YOTEI");
        if (!k.yoteiAfter)
            EXPECT_TRUE(ParseTimeText(yotei)) << yotei.toStdString();
        else if (*k.yoteiAfter == u'\0')
            EXPECT_TRUE(yotei.isEmpty()) << yotei.toStdString();
        else
            EXPECT_TRUE(yotei.startsWith(QString::fromUtf16(k.yoteiAfter))) << yotei.toStdString();
        EXPECT_EQ(qobject_cast<QPushButton*>(find("P5"))->text(), QString::fromUtf16(k.p5After));
        EXPECT_EQ(QApplication::focusWidget(), find(k.button)) << "the focus stays";
    }
}

// A screen reader's "activate" reaches the button as a press.
TEST_F(AccessibilityTest, PressActionClicksTheButton) {
    showAndActivate();
    for (const char* name : {"P5", "P10", "Cancel", "Settei"}) {
        QAccessibleActionInterface* action = accessible(name)->actionInterface();
        ASSERT_NE(action, nullptr) << name;
        EXPECT_TRUE(action->actionNames().contains(QAccessibleActionInterface::pressAction()))
            << name;
    }
    // Qt shows the press before it clicks, so the click comes from the event loop.
    const auto press = [this](const char* name) {
        QSignalSpy clicked(qobject_cast<QPushButton*>(find(name)), &QPushButton::clicked);
        accessible(name)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        ASSERT_TRUE(clicked.count() == 1 || clicked.wait(10000)) << name;
    };
    press("P10");
    EXPECT_TRUE(ParseTimeText(label("YOTEI")));
    press("Cancel");
    EXPECT_TRUE(label("YOTEI").isEmpty());
}

} // namespace
} // namespace vellomarin
