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
// On Linux the kernel keeps the phase: a timerfd on CLOCK_REALTIME, armed once at an
// absolute instant with the period as its interval, so a tick costs one read and
// nothing is allocated or re-registered in Qt on the way. When the wall clock is set
// (by hand, by a daylight-saving step or on resume from suspend) the kernel cancels
// the timer and it is re-aimed at the next instant after the new time. Where no such
// timer can be had, each tick of a single-shot QTimer re-aims at the next instant,
// read from the wall clock.
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
    bool armKernelTimer();
    void disarmKernelTimer();
    void dropKernelTimer();
    void expired();

    void fire();
    void arm(int64_t wallNowMs);

    QTimer timer_;
    PhaseKeeper phase_;
    bool enabled_ = false;
    int fd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace vellomarin
