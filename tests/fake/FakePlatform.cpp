#include "fake/FakePlatform.h"

#include "core/Timing.h"
#include "core/alarm/Presets.h"
#include "core/clock/ClockHandlers.h"

namespace vellomarin::test {

namespace {
int64_t floorMod(int64_t a, int64_t b) {
    return ((a % b) + b) % b;
}
} // namespace

FakePlatform::FakePlatform(int64_t wallMs)
    : wall_(wallMs), buttons_{QString::fromUtf16(PresetAt(0).p5Caption),
                              QString::fromUtf16(PresetAt(0).p10Caption)},
      jikokuPolicy_(kJikokuPeriodMs, kJikokuPhaseMs) {}

QString FakePlatform::labelCaption(LabelId label) const {
    return labels_[index(label)];
}
void FakePlatform::setLabelCaption(LabelId label, const QString& text) {
    labels_[index(label)] = text;
}
QString FakePlatform::boxText(BoxId box) const {
    return boxes_[index(box)];
}
void FakePlatform::setBoxText(BoxId box, const QString& text) {
    boxes_[index(box)] = text;
}
void FakePlatform::setButtonCaption(ButtonId button, const QString& text) {
    buttons_[index(button)] = text;
}
QString FakePlatform::buttonCaption(ButtonId button) const {
    return buttons_[index(button)];
}
bool FakePlatform::timerEnabled(TimerId timer) const {
    return timers_[index(timer)].enabled;
}

void FakePlatform::setTimerEnabled(TimerId timer, bool enabled) {
    Timer& t = timers_[index(timer)];
    if (t.enabled == enabled)
        return;
    t.enabled = enabled;
    if (!enabled)
        return;
    if (timer == TimerId::Jikoku)
        startTimer(t, jikokuPolicy_.start(wall_));
    else
        startTimer(t, kAlarmIntervalMs);
}

void FakePlatform::beep() {
    ++beeps_;
    // Two beeps per tick: note the tick once.
    if (beeps_ % 2 == 1)
        ringTicks_.push_back(wall_);
}

TimeOfDay FakePlatform::localTime() const {
    const int64_t secondOfDay = floorMod(wall_, kMsPerDay) / 1000;
    return {static_cast<int16_t>(secondOfDay / 3600), static_cast<int16_t>(secondOfDay / 60 % 60),
            static_cast<int16_t>(secondOfDay % 60)};
}

void FakePlatform::showTime(int hour, int minute, int second) {
    wall_ = At(hour, minute, second, 500);
    Jikoku_Timer(*this, state);
}

void FakePlatform::load() {
    setTimerEnabled(TimerId::Jikoku, true);
    handle(Event::Load);
}

void FakePlatform::handle(Event event) {
    HandleEvent(event, *this, state);
    if (afterEvent)
        afterEvent(event);
}

void FakePlatform::startTimer(Timer& t, int64_t intervalMs) {
    t.intervalMs = intervalMs;
    t.dueMono = mono_ + intervalMs;
}

void FakePlatform::deliver(TimerId timer) {
    Timer& t = timers_[index(timer)];
    ++t.ticks;
    // Qt sets the next due time before the tick is handled, skipping the missed ones.
    t.dueMono += t.intervalMs;
    if (t.dueMono < mono_)
        t.dueMono = mono_ + t.intervalMs;
    if (timer == TimerId::Jikoku) {
        if (const auto restart = jikokuPolicy_.onTick(wall_, t.intervalMs))
            startTimer(t, *restart);
        handle(Event::JikokuTick);
    } else {
        handle(Event::AlarmTick);
    }
}

bool FakePlatform::nextDue(int64_t limitMono, TimerId& timer) const {
    bool found = false;
    int64_t best = limitMono;
    for (TimerId candidate : {TimerId::Jikoku, TimerId::Alarm}) {
        const Timer& t = timers_[index(candidate)];
        if (t.enabled && t.dueMono <= best && (!found || t.dueMono < best)) {
            best = t.dueMono;
            timer = candidate;
            found = true;
        }
    }
    return found;
}

void FakePlatform::runFor(int64_t ms) {
    runUntil([] { return false; }, ms);
}

bool FakePlatform::runUntil(const std::function<bool()>& predicate, int64_t limitMs) {
    if (predicate())
        return true;
    const int64_t endMono = mono_ + limitMs;
    TimerId timer{};
    while (nextDue(endMono, timer)) {
        const int64_t due = timers_[index(timer)].dueMono;
        if (due > mono_) {
            wall_ += due - mono_;
            mono_ = due;
        }
        deliver(timer);
        if (predicate())
            return true;
    }
    wall_ += endMono - mono_;
    mono_ = endMono;
    return predicate();
}

void FakePlatform::stall(int64_t ms) {
    wall_ += ms;
    mono_ += ms;
    runFor(0);
}

void FakePlatform::suspend(int64_t ms) {
    wall_ += ms;
}

void FakePlatform::stepWall(int64_t deltaMs) {
    wall_ += deltaMs;
}

} // namespace vellomarin::test
