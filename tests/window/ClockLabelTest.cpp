#include "qt/ClockLabel.h"
#include "window/Fonts.h"

#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

namespace vellomarin {
namespace {

void dress(QWidget& label, const QFont& font = MinchoFont(20.25),
           Qt::LayoutDirection direction = Qt::LeftToRight) {
    label.setFont(font);
    label.setLayoutDirection(direction);
    QPalette palette = label.palette();
    palette.setColor(QPalette::Window, QColor(0, 192, 0));
    palette.setColor(QPalette::WindowText, Qt::black);
    label.setPalette(palette);
    label.setGeometry(0, 0, 185, 33);
    label.setContentsMargins(0, 0, 4, 4);
}

QImage drawn(QWidget& label) {
    return label.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// The oracle: the same text drawn by QLabel, centred, in the same dress.
QImage drawnByQLabel(const QString& caption, const QFont& font = MinchoFont(20.25),
                     Qt::LayoutDirection direction = Qt::LeftToRight) {
    QLabel plain(caption);
    plain.setAlignment(Qt::AlignCenter);
    dress(plain, font, direction);
    return drawn(plain);
}

// Any text looks as QLabel draws it: after a change of font, with kerning and
// ligatures, with right-to-left text in either direction of the widget, and across lines.
TEST(ClockLabelTest, LooksAsQLabelDrawsTheSameText) {
    QFont latin(QStringLiteral("DejaVu Serif"));
    latin.setPointSizeF(15.5);
    const struct {
        QFont font;
        Qt::LayoutDirection direction;
        const char16_t* text;
    } rows[] = {
        {MinchoFont(20.25), Qt::LeftToRight, u"9時05分03秒"},
        {MinchoFont(12), Qt::LeftToRight, u"9時05分03秒"},
        {latin, Qt::LeftToRight, u"9:05:03 AV To fi"},
        {latin, Qt::LeftToRight, u"0 مرحبا 9"},
        {latin, Qt::RightToLeft, u"12 34 ab"},
        {latin, Qt::LeftToRight, u"12\n34"},
        {latin, Qt::LeftToRight, u"12\t34"},
    };
    ClockLabel clock;
    for (const auto& row : rows) {
        const QString caption = QString::fromUtf16(row.text);
        SCOPED_TRACE(caption.toStdString());
        dress(clock, row.font, row.direction);
        clock.setText(caption);
        EXPECT_EQ(drawn(clock), drawnByQLabel(caption, row.font, row.direction));
    }
}

// A shown clock repaints only the characters that changed: what reaches the screen is
// still the whole text as QLabel draws it, including after a text of another width and
// after none.
TEST(ClockLabelTest, RepaintingOnlyTheChangeLeavesTheWholeTextOnScreen) {
    ClockLabel clock;
    dress(clock);
    clock.setText(QString::fromUtf16(u"9時05分03秒"));
    clock.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&clock));
    for (const char16_t* text :
         {u"9時05分04秒", u"9時05分10秒", u"9時59分59秒", u"10時00分00秒", u"10時00分01秒",
          u"23時59分59秒", u"0時00分00秒", u"", u"0時00分01秒", u"0時00分02秒"}) {
        const QString caption = QString::fromUtf16(text);
        SCOPED_TRACE(caption.toStdString());
        clock.setText(caption);
        EXPECT_EQ(clock.text(), caption);
        QTest::qWait(20); // the repaint and flush are posted
        const QImage screen = clock.screen()
                                  ->grabWindow(clock.winId())
                                  .toImage()
                                  .convertToFormat(QImage::Format_RGB32);
        EXPECT_EQ(screen, drawnByQLabel(caption));
    }
}

} // namespace
} // namespace vellomarin
