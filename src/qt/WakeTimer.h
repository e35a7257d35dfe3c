#pragma once

#include <QObject>
#include <QString>

class QFileSystemWatcher;
class QSocketNotifier;

namespace vellomarin {

// Wakes a sleeping machine in time for the alarm in YOTEI: a timerfd on
// CLOCK_REALTIME_ALARM, which the kernel hands to the RTC as the machine suspends,
// armed at WakeInstant and read on the event thread. It only wakes the machine: the
// clock's tick, which comes at once on resume, lets the watch ring. It is armed afresh
// whenever YOTEI changes, the wall clock is set or the machine resumes (the kernel
// cancels it then), the local zone may have changed (/etc changed), and when it fires.
//
// Only for a process that holds CAP_WAKE_ALARM (KeepOnlyWakeAlarmCapability). The timer
// exists only while YOTEI holds a time; where the kernel refuses one, the alarm rings
// when the machine next wakes, as any alarm that passed during a sleep.
class WakeTimer : public QObject {
    Q_OBJECT
public:
    explicit WakeTimer(QObject* parent = nullptr) : QObject(parent) {}
    ~WakeTimer() override;
    WakeTimer(const WakeTimer&) = delete;
    WakeTimer& operator=(const WakeTimer&) = delete;

    // YOTEI's new text: empty disarms the timer.
    void setAlarm(const QString& yotei);

private:
    void arm();
    void disarm();
    void onReadable();

    int fd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    QFileSystemWatcher* zoneWatcher_ = nullptr;
    QString yotei_;
};

} // namespace vellomarin
