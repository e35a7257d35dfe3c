#pragma once

#include "core/TickPolicy.h"

#include <QObject>
#include <QTimer>

namespace vellomarin {

// A repeating timer whose ticks fall at a fixed phase of the wall clock, such as
// 1 ms after every second: a plain QTimer started at a random moment would show the
// clock up to a second late and drift with the timer's slack. TickPolicy decides when
// it ticks; a precise QTimer carries it out, repeating from each tick's due time on
// the monotonic clock, which keeps pace with the wall clock.
class PhasedTimer : public QObject {
    Q_OBJECT
public:
    PhasedTimer(int64_t periodMs, int64_t offsetMs, QObject* parent = nullptr);

    void setEnabled(bool enabled);
    bool isEnabled() const { return enabled_; }
    int interval() const { return static_cast<int>(policy_.period()); }

Q_SIGNALS:
    void timeout();

private:
    void fire();

    QTimer timer_;
    TickPolicy policy_;
    bool enabled_ = false;
};

} // namespace vellomarin
