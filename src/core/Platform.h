#pragma once

#include <QString>

#include <cstdint>

namespace vellomarin {

// The controls the handlers touch, named as in the window.
enum class LabelId { PANEL, YOTEI };
enum class BoxId { Hou, Min, Sec };
enum class ButtonId { P5, P10 };
enum class TimerId { Jikoku, Alarm };

// A local time of day: hour 0-23, minute 0-59, second 0-59.
struct TimeOfDay {
    int16_t hour = 0;
    int16_t minute = 0;
    int16_t second = 0;

    friend bool operator==(const TimeOfDay&, const TimeOfDay&) = default;
};

// Everything the handlers need from the desktop. The real window implements it over
// Qt widgets; tests implement it with a manual clock. Every call returns at once.
class Platform {
public:
    virtual ~Platform() = default;

    // Returns exactly the text last set; an empty text stays empty.
    virtual QString labelCaption(LabelId label) const = 0;
    virtual void setLabelCaption(LabelId label, const QString& text) = 0;

    virtual QString boxText(BoxId box) const = 0;
    virtual void setBoxText(BoxId box, const QString& text) = 0;

    virtual void setButtonCaption(ButtonId button, const QString& text) = 0;

    // Enabling a stopped timer starts it: Jikoku ticks at the start of each wall-clock
    // second (kJikokuPhaseMs after it) and at once when the clock is set or the machine
    // resumes, Alarm every kAlarmIntervalMs from now. Enabling a running timer keeps its
    // rhythm. Disabling stops further ticks at once.
    virtual void setTimerEnabled(TimerId timer, bool enabled) = 0;
    virtual bool timerEnabled(TimerId timer) const = 0;

    // Starts the desktop's short alert sound and returns without waiting for it.
    virtual void beep() = 0;

    virtual TimeOfDay localTime() const = 0;
};

} // namespace vellomarin
