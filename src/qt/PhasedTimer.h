#pragma once

#include "core/TickPolicy.h"

#include <QObject>

#include <functional>
#include <system_error>

class QSocketNotifier;

namespace vellomarin {

// A repeating timer whose ticks fall at a fixed phase of the wall clock, such as every
// whole second, and which ticks at once when the clock is set or the machine resumes.
//
// A timerfd on CLOCK_REALTIME, armed at the coming instant with the period, absolute
// and cancelled on a clock change, read on the event thread through a QSocketNotifier.
// Qt's timers count whole milliseconds on the monotonic clock, which wakes a few ms
// late, drifts from the wall clock when it is slewed, and stops during a suspend.
class PhasedTimer : public QObject {
    Q_OBJECT
public:
    // `wallClockMs` is the clock the instants are worked out from: WallClockMs() when
    // empty. The constructor and setEnabled() throw std::system_error when the kernel
    // gives no timer or refuses to arm it; once the event loop runs, a refusal ends the
    // loop with status 1 after one line on stderr (EndOnRefusedTimer).
    PhasedTimer(int64_t periodMs, int64_t offsetMs, QObject* parent = nullptr,
                std::function<int64_t()> wallClockMs = {});
    ~PhasedTimer() override;
    PhasedTimer(const PhasedTimer&) = delete;
    PhasedTimer& operator=(const PhasedTimer&) = delete;

    void setEnabled(bool enabled);
    bool isEnabled() const { return enabled_; }
    // While it rests, an enabled timer is disarmed and nothing ticks but what the caller
    // does. The rest's end ticks at once, so that what the tick shows is right before
    // anyone sees it, and arms the timer on its phase again.
    void setResting(bool resting);
    bool isResting() const { return resting_; }
    int interval() const { return static_cast<int>(policy_.period()); }

    // What a read of the timer's descriptor returned: the result and errno. Any error
    // but EAGAIN, EINTR and ECANCELED, and a short read, throw std::system_error.
    static TickPolicy::Wake wakeFromRead(long result, int error);

Q_SIGNALS:
    void timeout();

private:
    void arm();
    // Arms the timer on its phase and reads it, or disarms it and reads nothing.
    void run(bool running);
    // A refusal once the event loop runs: the timer stops, and the program ends with it.
    void endOn(const std::system_error& refusal);
    void onReadable();

    TickPolicy policy_;
    std::function<int64_t()> wallClockMs_;
    int fd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    bool enabled_ = false;
    bool resting_ = false;
};

} // namespace vellomarin
