#pragma once

#include "platform/PhaseKeeper.h"

#include <QObject>
#include <QTimer>

class QSocketNotifier;

namespace vellomarin {

// A repeating timer whose ticks fall at a fixed phase of the wall clock, such as
// 1 ms after every second: a plain QTimer started at a random moment would show the
// clock up to a second late and drift with the timer's slack.
//
// A precise QTimer is started at one of the instants and from there repeats with the
// period: Qt counts each timeout on from the last one's due time on the monotonic
// clock, which keeps pace with the wall clock, so the ticks hold their phase with
// nothing re-registered or allocated on the way. Each tick checks the wall clock, and
// one that is off its phase (the clock was set, the machine slept, the thread was
// busy) starts it afresh.
//
// The repeating timer keeps however late the moment it is started at was. A QTimer
// aimed at an instant wakes up to a millisecond or two past it, as Qt waits in whole
// ms; so where Linux has one, a kernel timer on the wall clock (a timerfd, used once
// per start, not per tick) wakes the thread at the instant itself to start it.
class PhasedTimer : public QObject {
    Q_OBJECT
public:
    PhasedTimer(int periodMs, int offsetMs, QObject* parent = nullptr);
    ~PhasedTimer() override;

    void setEnabled(bool enabled);
    bool isEnabled() const { return enabled_; }
    int interval() const { return static_cast<int>(phase_.period()); }

Q_SIGNALS:
    void timeout();

private:
    void fire();
    void startAtInstant();
    void aim(int64_t wallNowMs);
    bool armKernelTimer();
    void disarmKernelTimer();

    QTimer timer_;
    PhaseKeeper phase_;
    bool enabled_ = false;
    int fd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace vellomarin
