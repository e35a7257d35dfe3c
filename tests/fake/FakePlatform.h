#pragma once

#include "core/Events.h"
#include "core/Platform.h"
#include "core/TickPolicy.h"
#include "core/clock/ClockState.h"

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace vellomarin::test {

inline constexpr int64_t kMsPerDay = 24LL * 60 * 60 * 1000;

inline int64_t At(int hour, int minute, int second, int ms = 0) {
    return ((hour * 60LL + minute) * 60 + second) * 1000 + ms;
}

// The Platform with a manual clock and a simulated event loop, so hours of clock time
// run in milliseconds. Its timers are repeating timers on the monotonic clock, as Qt's
// are: a tick that falls due while the thread is busy comes once, late, and the next
// is due one interval after it. Jikoku is steered by the window's own TickPolicy, Alarm
// ticks every kAlarmIntervalMs from the moment it is enabled. Events are dispatched
// through HandleEvent, as the window does.
//
// Two clocks: the wall clock (what localTime() reads; suspend, daylight-saving and
// manual corrections move it) and the monotonic clock the timers count on.
class FakePlatform : public Platform {
public:
    // `wallMs` is the wall clock in ms; day 0 starts at local midnight.
    explicit FakePlatform(int64_t wallMs = 0);

    // --- Platform ---
    QString labelCaption(LabelId label) const override;
    void setLabelCaption(LabelId label, const QString& text) override;
    QString boxText(BoxId box) const override;
    void setBoxText(BoxId box, const QString& text) override;
    void setButtonCaption(ButtonId button, const QString& text) override;
    void setTimerEnabled(TimerId timer, bool enabled) override;
    bool timerEnabled(TimerId timer) const override;
    void beep() override;
    TimeOfDay localTime() const override;

    // --- the window's start-up: the clock's timer started, then the load event ---
    void load();
    // A click, or any other event, as the window dispatches it.
    void handle(Event event);

    // --- the simulated event loop ---
    // Runs the loop for `ms` of both clocks, delivering each tick when it falls due.
    void runFor(int64_t ms);
    // Runs until `predicate` holds, now or after some event, or `limitMs` pass; returns
    // whether it held.
    bool runUntil(const std::function<bool()>& predicate, int64_t limitMs);
    // The thread is busy for `ms`: both clocks move on, no event is handled, then the
    // ticks that fell due are delivered once each.
    void stall(int64_t ms);
    // The machine sleeps for `ms`: the wall clock moves on, the monotonic one does not.
    void suspend(int64_t ms);
    // The wall clock is set by `deltaMs` (negative: set back).
    void stepWall(int64_t deltaMs);

    // Called after every event, once the watch has looked.
    std::function<void(Event)> afterEvent;

    // --- what a test reads back ---
    ClockState state;
    QString buttonCaption(ButtonId button) const;
    // Watching: nothing rings, so the watch looks after every event.
    bool watching() const { return !timerEnabled(TimerId::Alarm); }
    int64_t beepCount() const { return beeps_; }
    // Wall-clock instant of every Alarm tick that beeped.
    const std::vector<int64_t>& ringTicks() const { return ringTicks_; }
    int64_t wallMs() const { return wall_; }
    int64_t monoMs() const { return mono_; }
    int64_t ticks(TimerId timer) const { return timers_[index(timer)].ticks; }
    // Sets the clock label directly, as a tick would show it.
    void showTime(int hour, int minute, int second);

private:
    // A QTimer: repeats with its interval from each due time, once the tick is handled.
    struct Timer {
        bool enabled = false;
        int64_t intervalMs = 0;
        int64_t dueMono = 0;
        int64_t ticks = 0;
    };
    template <typename E> static size_t index(E id) { return static_cast<size_t>(id); }
    void startTimer(Timer& t, int64_t intervalMs);
    void deliver(TimerId timer);
    // The enabled timer due soonest at or before `limitMono`, in due order, if any.
    bool nextDue(int64_t limitMono, TimerId& timer) const;

    int64_t wall_;
    int64_t mono_ = 0;
    std::array<QString, 2> labels_;
    std::array<QString, 3> boxes_;
    std::array<QString, 2> buttons_;
    std::array<Timer, 2> timers_;
    TickPolicy jikokuPolicy_;
    int64_t beeps_ = 0;
    std::vector<int64_t> ringTicks_;
};

} // namespace vellomarin::test
