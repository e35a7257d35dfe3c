#include "QtPlatform.h"

#include "qt/PhasedTimer.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTime>
#include <QTimer>
#include <QWidget>

#include <stdexcept>
#include <utility>

namespace vellomarin {

namespace {

template <typename T> T* control(QObject& window, const char* name) {
    auto* found = window.findChild<T*>(QString::fromLatin1(name));
    if (!found)
        throw std::logic_error(std::string("the window has no control named ") + name);
    return found;
}

template <typename E> size_t index(E id) {
    return static_cast<size_t>(id);
}

} // namespace

QtPlatform::QtPlatform(QWidget& window, std::function<void()> beep)
    : labels_{control<QLabel>(window, "PANEL"), control<QLabel>(window, "YOTEI")},
      boxes_{control<QLineEdit>(window, "Hou"), control<QLineEdit>(window, "Min"),
             control<QLineEdit>(window, "Sec")},
      buttons_{control<QPushButton>(window, "P5"), control<QPushButton>(window, "P10")},
      jikoku_(control<PhasedTimer>(window, "Jikoku")),
      check_(control<PhasedTimer>(window, "Check")), alarm_(control<QTimer>(window, "Alarm")),
      beep_(std::move(beep)) {}

QString QtPlatform::labelCaption(LabelId label) const {
    return labels_[index(label)]->text();
}

void QtPlatform::setLabelCaption(LabelId label, const QString& text) {
    QLabel* target = labels_[index(label)];
    // Most clock ticks and every watch tick would otherwise repaint an unchanged label.
    if (target->text() != text)
        target->setText(text);
}

QString QtPlatform::boxText(BoxId box) const {
    return boxes_[index(box)]->text();
}

void QtPlatform::setBoxText(BoxId box, const QString& text) {
    boxes_[index(box)]->setText(text);
}

void QtPlatform::setButtonCaption(ButtonId button, const QString& text) {
    buttons_[index(button)]->setText(text);
}

void QtPlatform::setTimerEnabled(TimerId timer, bool enabled) {
    switch (timer) {
    case TimerId::Jikoku:
        jikoku_->setEnabled(enabled);
        break;
    case TimerId::Check:
        check_->setEnabled(enabled);
        break;
    case TimerId::Alarm:
        // Enabling a running timer keeps its rhythm, as disabling a stopped one is a no-op.
        if (!enabled)
            alarm_->stop();
        else if (!alarm_->isActive())
            alarm_->start();
        break;
    }
}

void QtPlatform::beep() {
    beep_();
}

TimeOfDay QtPlatform::localTime() const {
    const QTime now = QTime::currentTime();
    return {static_cast<int16_t>(now.hour()), static_cast<int16_t>(now.minute()),
            static_cast<int16_t>(now.second())};
}

} // namespace vellomarin
