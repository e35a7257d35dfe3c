#pragma once

#include "core/Platform.h"
#include "qt/Controls.h"

#include <functional>
#include <utility>

namespace vellomarin {

// The Platform over the real window's controls.
class QtPlatform : public Platform {
public:
    // `heard` tells whether a beep can make any sound now; empty: always. `ringing` is
    // told when a ringing starts (true) and when it ends, either way (false); may be
    // empty.
    QtPlatform(const Controls& controls, std::function<void()> beep, std::function<bool()> heard,
               std::function<void(bool)> ringing = {});

    QString labelCaption(LabelId label) const override;
    void setLabelCaption(LabelId label, const QString& text) override;
    QString boxText(BoxId box) const override;
    void setBoxText(BoxId box, const QString& text) override;
    void setButtonCaption(ButtonId button, const QString& text) override;
    void setTimerEnabled(TimerId timer, bool enabled) override;
    bool timerEnabled(TimerId timer) const override;
    void beep() override;
    TimeOfDay localTime() const override;

    // Called with YOTEI's text whenever it changes.
    void onScheduleChanged(std::function<void(const QString&)> changed) {
        scheduleChanged_ = std::move(changed);
    }

private:
    QLineEdit* box(BoxId id) const;
    void askForAttention(bool ask);
    void showSilentRing(bool inverted);

    Controls controls_;
    std::function<void()> beep_;
    std::function<bool()> heard_;
    std::function<void(const QString&)> scheduleChanged_;
    std::function<void(bool)> ringing_;
    int silentBeeps_ = 0;        // beeps of the current ringing that no one could hear
    bool yoteiInverted_ = false; // YOTEI's colours swapped to show a silent ringing
};

} // namespace vellomarin
