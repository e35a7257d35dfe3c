#pragma once

#include "core/Platform.h"

#include <array>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class QWidget;

namespace vellomarin {

class PhasedTimer;

// The Platform over the real window: finds each control by its name in the window,
// once, and forwards to it.
class QtPlatform : public Platform {
public:
    QtPlatform(QWidget& window, std::function<void()> beep);

    QString labelCaption(LabelId label) const override;
    void setLabelCaption(LabelId label, const QString& text) override;
    QString boxText(BoxId box) const override;
    void setBoxText(BoxId box, const QString& text) override;
    void setButtonCaption(ButtonId button, const QString& text) override;
    void setTimerEnabled(TimerId timer, bool enabled) override;
    void beep() override;
    TimeOfDay localTime() const override;

private:
    std::array<QLabel*, 2> labels_{};
    std::array<QLineEdit*, 3> boxes_{};
    std::array<QPushButton*, 2> buttons_{};
    PhasedTimer* jikoku_ = nullptr;
    PhasedTimer* check_ = nullptr;
    QTimer* alarm_ = nullptr;
    std::function<void()> beep_;
};

} // namespace vellomarin
