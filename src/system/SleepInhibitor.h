#pragma once

#include "system/LogindLock.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <memory>
#include <thread>

class QDBusPendingCall;

namespace vellomarin {

// Keeps the machine awake while held: a block lock from logind on the system bus
// (LogindLock), and the desktop portal's inhibit of suspend and idle on the session bus
// (GNOME's own idle suspend heeds the second and not the first).
//
// Nothing here waits for a bus or a service: a missing or hung one holds nothing and
// costs nothing. Each hold asks anew; an answer that comes after its hold has ended
// (or after a later hold began) is given back at once, so at most one lock of each
// kind is held.
class SleepInhibitor : public QObject {
    Q_OBJECT
public:
    // Call with a QCoreApplication; connects to the session bus on a thread of its own.
    explicit SleepInhibitor(QObject* parent = nullptr);
    ~SleepInhibitor() override;
    SleepInhibitor(const SleepInhibitor&) = delete;
    SleepInhibitor& operator=(const SleepInhibitor&) = delete;

    void setHeld(bool held);

private:
    void askPortal();
    // `current`: the answer is to the hold under way.
    void takePortalRequest(const QDBusPendingCall& answer, bool current);

    bool held_ = false;
    unsigned holds_ = 0; // holds begun so far, to tell whose an answer is
    LogindLock logind_;
    QString portalRequest_; // the inhibit's handle; empty when none is asked
    std::shared_ptr<std::atomic<bool>> sessionReady_;
    std::thread connecting_;
};

} // namespace vellomarin
