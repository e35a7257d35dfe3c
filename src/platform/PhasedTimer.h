#pragma once

#include "platform/PhaseKeeper.h"

#include <QObject>
#include <QTimer>

namespace vellomarin {

// A repeating timer whose ticks fall at a fixed phase of the wall clock, such as
// 1 ms after every second: a plain QTimer started at a random moment would show the
// clock up to a second late and drift with the timer's slack. Each tick re-aims at
// the next instant, read from the wall clock, so it stays in phase across suspends
// and clock changes.
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
    void arm(int64_t wallNowMs);

    QTimer timer_;
    PhaseKeeper phase_;
    bool enabled_ = false;
};

} // namespace vellomarin
