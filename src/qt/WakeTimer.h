#pragma once

#include <QObject>
#include <QString>

class QSocketNotifier;

namespace vellomarin {

class ZoneWatch;

// Wakes a sleeping machine in time for the alarm in YOTEI, and the clock while it rests.
//
// A timerfd armed at WakeInstant, read on the event thread, on CLOCK_REALTIME_ALARM
// where the program holds CAP_WAKE_ALARM (KeepOnlyWakeAlarmCapability): the kernel hands
// that one to the RTC as the machine suspends. It only wakes: the clock's tick, which
// comes at once on resume, lets the watch ring. While the window is minimised the clock
// does not tick, and this timer ticks it instead, at its own instants; without the
// capability it is then a CLOCK_REALTIME timer that wakes only the program.
//
// It exists while YOTEI holds a time (and, without the capability, the clock rests), and
// is armed afresh whenever YOTEI changes, the wall clock is set or the machine resumes
// (the kernel cancels it then), the zone may have changed (ZoneWatch), and when it
// fires. Where the kernel refuses it, the alarm rings when the machine is next up.
class WakeTimer : public QObject {
    Q_OBJECT
public:
    explicit WakeTimer(bool wakesMachine, QObject* parent = nullptr)
        : QObject(parent), wakesMachine_(wakesMachine) {}
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

    const bool wakesMachine_;
    bool resting_ = false;
    int fd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    ZoneWatch* zoneWatch_ = nullptr;
    QString yotei_;
};

} // namespace vellomarin
