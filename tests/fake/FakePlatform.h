#pragma once

#include "core/Events.h"
#include "core/Platform.h"
#include "core/TickPolicy.h"
#include "core/clock/ClockState.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace vellomarin::test {

inline constexpr int64_t kSecond = 1000;
inline constexpr int64_t kMinute = 60 * kSecond;
inline constexpr int64_t kHour = 60 * kMinute;
inline constexpr int64_t kMsPerDay = 24 * kHour;

inline int64_t At(int hour, int minute, int second, int ms = 0) {
    return ((hour * 60LL + minute) * 60 + second) * 1000 + ms;
}

// The Platform with a manual clock and a simulated event loop, so hours of clock time
// run in milliseconds. Events are dispatched through HandleEvent, as the window does.
//
// Jikoku is a model of the window's timer, a kernel timer on the wall clock armed as
// the window's own TickPolicy says (the wake timer is one too, armed by WakeInstant):
// it fires at each instant plus a wake delay the test
// sets, once however many instants passed while the thread was busy, and at once (plus
// the delay) when the wall clock is set either way or the machine resumes. Alarm is a
// repeating timer on the monotonic clock, as Qt's are: a tick that falls due while the
// thread is busy comes once, late, and the next keeps the rhythm unless a whole interval
// was missed, when it is due one interval after the late one.
//
// Three clocks: the wall clock (suspend and corrections move it), the local time shown
// (the wall clock plus the zone's offset, which daylight saving or a new zone changes
// with no step of the wall clock), and the monotonic clock Alarm counts on.
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
    // The machine sleeps for `ms`: the wall clock moves on, the monotonic one does not,
    // and Jikoku's timer is cancelled, as at any change of the wall clock.
    void suspend(int64_t ms);
    // The wall clock is set by `deltaMs` (negative: set back); Jikoku's timer is cancelled.
    void stepWall(int64_t deltaMs);
    // The machine sleeps from now until the user wakes it at wall instant `userWakeMs`,
    // or the wake timer does at its instant if that comes first; resuming then takes
    // `resumeMs` of wall time. The wall-clock timers are cancelled, as by suspend().
    void sleepUntil(int64_t userWakeMs, int64_t resumeMs);
    // From the wall instant `atWallMs` on, local time is the wall clock plus `offsetMs`:
    // new zone data, which the window is told of (a new /etc/localtime) as it comes.
    void setLocalOffsetFrom(int64_t atWallMs, int64_t offsetMs);
    // Whether the program may wake the machine (it holds CAP_WAKE_ALARM): then, while
    // YOTEI holds a time, the wake timer is armed as the window arms it (false at first).
    void setWakeCapable(bool capable);
    // The window minimised and restored: while minimised the clock's tick rests, and the
    // wake timer, armed while YOTEI holds a time, ticks it instead. Restoring ticks at once.
    void minimise();
    void restore();
    // The wake timer's coming instant, if it is armed.
    std::optional<int64_t> wakeTimerAt() const;
    // How long after its instant, or a change of the clock, Jikoku's tick is handled (0
    // at first).
    void setWakeDelay(int64_t ms) { wakeDelay_ = ms; }
    int64_t wakeDelay() const { return wakeDelay_; }

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
    int64_t ticks(TimerId timer) const {
        return timer == TimerId::Jikoku ? jikoku_.ticks : alarm_.ticks;
    }
    // How often the wake timer woke the event thread.
    int64_t wakeTimerTicks() const { return wake_.ticks; }
    // Sets the clock label directly, as a tick would show it.
    void showTime(int hour, int minute, int second);

private:
    // A QTimer: its next due time is set from the last, before the tick is handled.
    struct Timer {
        bool enabled = false;
        int64_t dueMono = 0;
        int64_t ticks = 0;
    };
    // An absolute wall-clock timerfd, cancelled when the clock is set.
    struct WallTimer {
        bool enabled = false;
        int64_t expiryWall = 0; // its coming instant
        bool cancelled = false; // the clock was set since it was last read
        int64_t cancelledMono = 0;
        int64_t ticks = 0;
    };
    enum class Source { Jikoku, Alarm, Wake };
    template <typename E> static size_t index(E id) { return static_cast<size_t>(id); }
    void deliver(Source source);
    // When the event thread would handle the source's next wake, on the monotonic clock;
    // nothing while it is off.
    std::optional<int64_t> dueMono(Source source) const;
    int64_t dueMono(const WallTimer& timer) const;
    // The enabled source due soonest at or before `limitMono`, in due order, if any.
    bool nextDue(int64_t limitMono, Source& source) const;
    void clockWasSet();
    void armWakeTimer();
    int64_t localOffsetAt(int64_t wallMs) const;

    int64_t wall_;
    int64_t mono_ = 0;
    int64_t wakeDelay_ = 0;
    std::vector<std::pair<int64_t, int64_t>> localOffsets_; // (from wall instant, offset)
    std::array<QString, 2> labels_;
    std::array<QString, 3> boxes_;
    std::array<QString, 2> buttons_;
    WallTimer jikoku_;
    Timer alarm_;
    WallTimer wake_;
    bool wakeCapable_ = false;
    bool resting_ = false;
    TickPolicy jikokuPolicy_;
    int64_t beeps_ = 0;
    std::vector<int64_t> ringTicks_;
};

} // namespace vellomarin::test
