#include "QtPlatform.h"

#include "qt/ClockLabel.h"
#include "qt/PhasedTimer.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTime>
#include <QTimer>
#include <QWindow>

#include <utility>

namespace vellomarin {

QtPlatform::QtPlatform(const Controls& controls, std::function<void()> beep,
                       std::function<bool()> heard, std::function<void(bool)> ringing)
    : controls_(controls), beep_(std::move(beep)), heard_(std::move(heard)),
      ringing_(std::move(ringing)) {}

QLineEdit* QtPlatform::box(BoxId id) const {
    switch (id) {
    case BoxId::Hou:
        return controls_.Hou;
    case BoxId::Min:
        return controls_.Min;
    case BoxId::Sec:
        break;
    }
    return controls_.Sec;
}

QString QtPlatform::labelCaption(LabelId id) const {
    return id == LabelId::PANEL ? controls_.PANEL->text() : controls_.YOTEI->text();
}

void QtPlatform::setLabelCaption(LabelId id, const QString& text) {
    if (id == LabelId::PANEL) {
        controls_.PANEL->setText(text);
        return;
    }
    if (controls_.YOTEI->text() == text)
        return;
    controls_.YOTEI->setText(text);
    if (scheduleChanged_)
        scheduleChanged_(text);
}

QString QtPlatform::boxText(BoxId id) const {
    return box(id)->text();
}

void QtPlatform::setBoxText(BoxId id, const QString& text) {
    box(id)->setText(text);
}

void QtPlatform::setButtonCaption(ButtonId id, const QString& text) {
    (id == ButtonId::P5 ? controls_.P5 : controls_.P10)->setText(text);
}

void QtPlatform::setTimerEnabled(TimerId timer, bool enabled) {
    if (timer == TimerId::Jikoku) {
        controls_.Jikoku->setEnabled(enabled);
        return;
    }
    QTimer* alarm = controls_.Alarm;
    // Enabling a running timer keeps its rhythm, as disabling a stopped one is a no-op.
    if (enabled == alarm->isActive())
        return;
    if (enabled) {
        alarm->start();
    } else {
        alarm->stop();
        showSilentRing(false);
        silentBeeps_ = 0;
    }
    askForAttention(enabled);
    if (ringing_)
        ringing_(enabled);
}

// A ringing window that is minimised or buried must still be found: the desktop marks
// it in the task bar (_NET_WM_STATE_DEMANDS_ATTENTION on X) until the ringing ends.
// Nothing is raised, and no focus is taken from what the user is doing elsewhere.
void QtPlatform::askForAttention(bool ask) {
    if (ask) {
        QApplication::alert(controls_.window, 0);
        return;
    }
    // Qt drops the request by itself only when the window is activated; its own way to
    // drop it earlier is this slot, which QWindow::alert uses for timed requests.
    if (QWindow* handle = controls_.window->windowHandle())
        QMetaObject::invokeMethod(handle, "_q_clearAlert");
}

bool QtPlatform::timerEnabled(TimerId timer) const {
    return timer == TimerId::Jikoku ? controls_.Jikoku->isEnabled() : controls_.Alarm->isActive();
}

void QtPlatform::beep() {
    beep_();
    if (!heard_ || heard_()) {
        showSilentRing(false);
        return;
    }
    // No sound can be made here (no sound server, and a bell that makes none, as on
    // Wayland): the ringing would pass unnoticed, so YOTEI shows it instead, its colours
    // swapping on the first beep of each tick until the ringing ends.
    if (++silentBeeps_ % 2 == 1)
        showSilentRing(!yoteiInverted_);
}

void QtPlatform::showSilentRing(bool inverted) {
    if (inverted == yoteiInverted_)
        return;
    QPalette palette = controls_.YOTEI->palette();
    const QColor background = palette.color(QPalette::Window);
    palette.setColor(QPalette::Window, palette.color(QPalette::WindowText));
    palette.setColor(QPalette::WindowText, background);
    controls_.YOTEI->setPalette(palette);
    yoteiInverted_ = inverted;
}

TimeOfDay QtPlatform::localTime() const {
    const QTime now = QTime::currentTime();
    return {static_cast<int16_t>(now.hour()), static_cast<int16_t>(now.minute()),
            static_cast<int16_t>(now.second())};
}

} // namespace vellomarin
