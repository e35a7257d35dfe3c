#pragma once

#include "core/PhaseKeeper.h"

#include <QObject>
#include <QTimer>

namespace vellomarin {

// A repeating timer whose ticks fall at a fixed phase of the wall clock, such as
// 1 ms after every second: a plain QTimer started at a random moment would show the
// clock up to a second late and drift with the timer's slack.
//
// A precise QTimer is aimed once at the coming instant and then repeats with the
// period: Qt counts each timeout on from the last one's due time on the monotonic
// clock, which keeps pace with the wall clock, so the ticks hold their phase with
// nothing re-registered or allocated on the way. Each tick checks the wall clock, and
// one that is off its phase (the clock was set, the machine slept, the thread was
// busy) aims afresh at the next instant.
class PhasedTimer : public QObject {
    Q_OBJECT
public:
    PhasedTimer(int periodMs, int offsetMs, QObject* parent = nullptr);

    void setEnabled(bool enabled);
    bool isEnabled() const { return enabled_; }
    int interval() const { return static_cast<int>(phase_.period()); }

Q_SIGNALS:
    void timeout();

private:
    void fire();
    void aim(int64_t wallNowMs);

    QTimer timer_;
    PhaseKeeper phase_;
    bool enabled_ = false;
};

} // namespace vellomarin
