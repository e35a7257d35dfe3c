#include "window/ClockLabel.h"
#include "window/Fonts.h"

#include <QImage>

#include <gtest/gtest.h>

namespace vellomarin {
namespace {

void dress(QLabel& label) {
    label.setFont(MinchoFont(20.25));
    label.setAlignment(Qt::AlignCenter);
    QPalette palette = label.palette();
    palette.setColor(QPalette::Window, QColor(0, 192, 0));
    palette.setColor(QPalette::WindowText, Qt::black);
    label.setPalette(palette);
    label.setGeometry(0, 0, 185, 33);
    label.setContentsMargins(0, 0, 4, 4);
}

QImage drawn(QLabel& label) {
    return label.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Each text drawn over the one before must look as the same text drawn afresh by QLabel:
// a digit, several, the width of the text changing, and nothing at all.
TEST(ClockLabelTest, DrawingOnlyWhatChangedLooksAsDrawingAll) {
    ClockLabel clock;
    dress(clock);
    for (const char16_t* text :
         {u"9時05分03秒", u"9時05分04秒", u"9時05分10秒", u"9時59分59秒", u"10時00分00秒",
          u"10時00分01秒", u"23時59分59秒", u"0時00分00秒", u"", u"0時00分01秒"}) {
        const QString caption = QString::fromUtf16(text);
        SCOPED_TRACE(caption.toStdString());
        clock.setText(caption);
        QLabel plain(caption);
        dress(plain);
        EXPECT_EQ(drawn(clock), drawn(plain));
    }
}

} // namespace
} // namespace vellomarin
