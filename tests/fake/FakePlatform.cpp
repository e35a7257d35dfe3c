#include "fake/FakePlatform.h"

#include "core/Timing.h"
#include "core/alarm/Presets.h"
#include "core/alarm/RingInstant.h"
#include "core/clock/ClockHandlers.h"

#include <algorithm>

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
    if (label == LabelId::YOTEI)
        armWakeTimer();
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
    return timer == TimerId::Jikoku ? jikoku_.enabled : alarm_.enabled;
}

void FakePlatform::setTimerEnabled(TimerId timer, bool enabled) {
    if (timer == TimerId::Jikoku) {
        if (enabled && !jikoku_.enabled)
            jikoku_.expiryWall = jikokuPolicy_.firstAfter(wall_);
        jikoku_.enabled = enabled;
        jikoku_.cancelled = false;
        return;
    }
    if (enabled && !alarm_.enabled)
        alarm_.dueMono = mono_ + kAlarmIntervalMs;
    alarm_.enabled = enabled;
}

void FakePlatform::beep() {
    ++beeps_;
    // Two beeps per tick: note the tick once.
    if (beeps_ % 2 == 1)
        ringTicks_.push_back(wall_);
}

int64_t FakePlatform::localOffsetAt(int64_t wallMs) const {
    int64_t offset = 0;
    for (const auto& [from, value] : localOffsets_)
        if (from <= wallMs)
            offset = value;
    return offset;
}

void FakePlatform::setLocalOffsetFrom(int64_t atWallMs, int64_t offsetMs) {
    localOffsets_.emplace_back(atWallMs, offsetMs);
    armWakeTimer();
    if (resting_) {
        ++jikoku_.ticks;
        handle(Event::JikokuTick);
    }
}

void FakePlatform::minimise() {
    resting_ = true;
    armWakeTimer();
}

void FakePlatform::restore() {
    resting_ = false;
    jikoku_.expiryWall = jikokuPolicy_.firstAfter(wall_);
    jikoku_.cancelled = false;
    ++jikoku_.ticks;
    handle(Event::JikokuTick);
    armWakeTimer();
}

void FakePlatform::setWakeCapable(bool capable) {
    wakeCapable_ = capable;
    armWakeTimer();
}

std::optional<int64_t> FakePlatform::wakeTimerAt() const {
    return wake_.enabled ? std::optional(wake_.expiryWall) : std::nullopt;
}

// As the window arms it whenever YOTEI, the clock or the zone changes, and when it fires.
void FakePlatform::armWakeTimer() {
    const auto at = wakeCapable_ || resting_
                        ? WakeInstant(labels_[index(LabelId::YOTEI)], wall_,
                                      [this](int64_t wallMs) { return localOffsetAt(wallMs); })
                        : std::nullopt;
    wake_.enabled = at.has_value();
    wake_.expiryWall = at.value_or(0);
    wake_.cancelled = false;
}

TimeOfDay FakePlatform::localTime() const {
    const int64_t secondOfDay = floorMod(wall_ + localOffsetAt(wall_), kMsPerDay) / 1000;
    return {static_cast<int16_t>(secondOfDay / 3600), static_cast<int16_t>(secondOfDay / 60 % 60),
            static_cast<int16_t>(secondOfDay % 60)};
}

void FakePlatform::showTime(int hour, int minute, int second) {
    wall_ = At(hour, minute, second, 500) - localOffsetAt(wall_);
    Jikoku_Timer(*this, state);
}

void FakePlatform::load() {
    setTimerEnabled(TimerId::Jikoku, true);
    handle(Event::Load);
}

void FakePlatform::handle(Event event) {
    // A click on a minimised window (through a screen reader) first brings PANEL up to
    // the second, as the scheduling reads the time from it.
    const bool click =
        event != Event::Load && event != Event::JikokuTick && event != Event::AlarmTick;
    if (resting_ && click)
        HandleEvent(Event::JikokuTick, *this, state);
    HandleEvent(event, *this, state);
    if (afterEvent)
        afterEvent(event);
}

void FakePlatform::deliver(Source source) {
    if (source == Source::Wake) {
        ++wake_.ticks;
        armWakeTimer();
        if (resting_)
            handle(Event::JikokuTick);
        return;
    }
    if (source == Source::Alarm) {
        ++alarm_.ticks;
        // Qt sets the next due time before the tick is handled, skipping the missed ones.
        alarm_.dueMono += kAlarmIntervalMs;
        if (alarm_.dueMono < mono_)
            alarm_.dueMono = mono_ + kAlarmIntervalMs;
        handle(Event::AlarmTick);
        return;
    }
    // The read: a cancel comes first; otherwise the instants that passed are counted.
    const TickPolicy::Wake wake =
        jikoku_.cancelled ? TickPolicy::Wake::ClockSet : TickPolicy::Wake::Expired;
    jikoku_.cancelled = false;
    const TickPolicy::Response response = TickPolicy::respond(wake);
    // After an expiry the kernel's next instant is the first still ahead; a re-arm after
    // a clock change lands on the same.
    if (wake == TickPolicy::Wake::Expired || response.rearm)
        jikoku_.expiryWall = jikokuPolicy_.firstAfter(wall_);
    if (response.tick) {
        ++jikoku_.ticks;
        handle(Event::JikokuTick);
    }
}

int64_t FakePlatform::dueMono(const WallTimer& timer) const {
    if (timer.cancelled)
        return timer.cancelledMono + wakeDelay_;
    // Wall and monotonic clocks run together while the loop runs.
    return mono_ + std::max<int64_t>(0, timer.expiryWall + wakeDelay_ - wall_);
}

std::optional<int64_t> FakePlatform::dueMono(Source source) const {
    switch (source) {
    case Source::Jikoku:
        return jikoku_.enabled && !resting_ ? std::optional(dueMono(jikoku_)) : std::nullopt;
    case Source::Wake:
        return wake_.enabled ? std::optional(dueMono(wake_)) : std::nullopt;
    case Source::Alarm:
        break;
    }
    return alarm_.enabled ? std::optional(alarm_.dueMono) : std::nullopt;
}

bool FakePlatform::nextDue(int64_t limitMono, Source& source) const {
    bool found = false;
    int64_t best = limitMono;
    for (Source candidate : {Source::Jikoku, Source::Alarm, Source::Wake}) {
        const auto due = dueMono(candidate);
        if (due && *due <= best && (!found || *due < best)) {
            best = *due;
            source = candidate;
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
    Source source{};
    while (nextDue(endMono, source)) {
        const int64_t due = *dueMono(source);
        if (due > mono_) {
            wall_ += due - mono_;
            mono_ = due;
        }
        deliver(source);
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

// The kernel cancels an armed wall-clock timer that asked for it whenever the clock is
// set, and on resume.
void FakePlatform::clockWasSet() {
    for (WallTimer* timer : {&jikoku_, &wake_}) {
        if (timer->enabled && !timer->cancelled) {
            timer->cancelled = true;
            timer->cancelledMono = mono_;
        }
    }
}

void FakePlatform::suspend(int64_t ms) {
    wall_ += ms;
    clockWasSet();
}

// A wake timer whose instant has passed has fired: it wakes nothing until re-armed.
void FakePlatform::sleepUntil(int64_t userWakeMs, int64_t resumeMs) {
    int64_t wakeAt = std::max(userWakeMs, wall_);
    if (wake_.enabled && wake_.expiryWall >= wall_)
        wakeAt = std::min(wakeAt, wake_.expiryWall);
    wall_ = wakeAt + resumeMs;
    clockWasSet();
}

void FakePlatform::stepWall(int64_t deltaMs) {
    wall_ += deltaMs;
    clockWasSet();
}

} // namespace vellomarin::test
