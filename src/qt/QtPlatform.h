#pragma once

#include "core/Platform.h"
#include "qt/Controls.h"

#include <functional>

namespace vellomarin {

// The Platform over the real window's controls.
class QtPlatform : public Platform {
public:
    QtPlatform(const Controls& controls, std::function<void()> beep);

    QString labelCaption(LabelId label) const override;
    void setLabelCaption(LabelId label, const QString& text) override;
    QString boxText(BoxId box) const override;
    void setBoxText(BoxId box, const QString& text) override;
    void setButtonCaption(ButtonId button, const QString& text) override;
    void setTimerEnabled(TimerId timer, bool enabled) override;
    bool timerEnabled(TimerId timer) const override;
    void beep() override;
    TimeOfDay localTime() const override;

private:
    QLabel* label(LabelId id) const;
    QLineEdit* box(BoxId id) const;
    void askForAttention(bool ask);

    Controls controls_;
    std::function<void()> beep_;
};

} // namespace vellomarin
