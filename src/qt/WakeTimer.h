#pragma once

#include "wake/WakeHelper.h"
#include "wake/WakeMessage.h"

#include <QObject>
#include <QString>

#include <optional>

class QSocketNotifier;

namespace vellomarin {

class ZoneWatch;

// Wakes a sleeping machine in time for the alarm in YOTEI, and the clock while it rests.
//
// A CLOCK_REALTIME timerfd armed at WakeInstant, read on the event thread, whose every
// instant also goes to the wake helper (vellomarin-wake), which holds CAP_WAKE_ALARM and
// sets the same instant on a CLOCK_REALTIME_ALARM timer: the kernel hands that one to the
// RTC as the machine suspends. The helper only wakes the machine; this timer, cancelled
// on resume, sends it the next instant, and the clock's tick, which comes at once on
// resume, lets the watch ring. While the window is minimised the clock does not tick,
// and this timer ticks it instead, at its own instants, whatever became of the helper.
//
// It exists while YOTEI holds a time and either the helper may wake the machine or the
// clock rests, and is armed afresh whenever YOTEI changes, the wall clock is set or the
// machine resumes (the kernel cancels it then), the zone may have changed (ZoneWatch),
// and when it fires. The helper is started at the first instant there is to send, and
// kept; where it cannot start or ends, one line on stderr says why, and the alarm rings
// when the machine is next up.
class WakeTimer : public QObject {
    Q_OBJECT
public:
    // None: nothing wakes the machine.
    explicit WakeTimer(WakeHelperStarter* starter, QObject* parent = nullptr);
    ~WakeTimer() override;
    WakeTimer(const WakeTimer&) = delete;
    WakeTimer& operator=(const WakeTimer&) = delete;

    // YOTEI's new text: empty disarms the timer.
    void setAlarm(const QString& yotei);
    // Whether the clock rests: then restingTick() follows every wake of this timer and
    // every change of zone, so that the clock shows the time and the watch looks.
    void setResting(bool resting);

Q_SIGNALS:
    void restingTick();

private:
    void arm();
    void disarm();
    void onWake();
    bool mayWake() const { return starter_ || channel_ >= 0; }
    void tellHelper(std::optional<int64_t> atMs);
    void sendLatest();
    bool startHelper();
    void helperStarted();
    void helperEnded();
    void releaseHelper();

    WakeHelperStarter* starter_; // until the helper is started
    int channel_ = -1;           // the window's end, once it is
    QSocketNotifier* helperNews_ = nullptr; // its start's answer, then its end
    pid_t helperPid_ = -1;
    int helperEnd_ = -1; // its pidfd
    // The latest message, while the channel is full (a helper that has not read): sent
    // once it is writable, so that the helper ends up with the latest instant.
    std::optional<WakeMessage> unsent_;
    QSocketNotifier* writable_ = nullptr;
    bool resting_ = false;
    int fd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    ZoneWatch* zoneWatch_ = nullptr;
    QString yotei_;
};

} // namespace vellomarin
