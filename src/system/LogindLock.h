#pragma once

#include <QObject>
#include <QTimer>

#include <cstdint>

class QSocketNotifier;
struct sd_bus;

namespace vellomarin {

// logind's block lock on sleep, asked on a system-bus connection of its own (sd-bus)
// that the event loop drives: QtDBus sets up every bus on one shared thread, where a
// system bus that never answers would hold up the session bus and the accessibility
// bridge behind it. Here nothing waits for the bus: each hold connects afresh and asks,
// the connection closes with the answer, with the hold, or 25 s after it was opened.
// A bus or a logind that is missing, refuses even sleep:idle, hangs or drops the
// connection holds nothing and says nothing; the next hold tries again.
class LogindLock : public QObject {
    Q_OBJECT
public:
    explicit LogindLock(QObject* parent = nullptr);
    ~LogindLock() override;
    LogindLock(const LogindLock&) = delete;
    LogindLock& operator=(const LogindLock&) = delete;

    void setHeld(bool held);

private:
    bool ask(const char* what);
    // Runs the connection until it has nothing left to do now, then waits for its
    // socket or its next time-out; closes it once the answer is in.
    void process();
    void closeNotifiers();
    void closeBus();
    struct Answer; // sd-bus's callback, which takes what logind answered

    sd_bus* bus_ = nullptr;
    bool askedAll_ = false; // the question under way is for everything, not sleep:idle alone
    bool answered_ = false;
    uint64_t giveUpUs_ = 0; // CLOCK_MONOTONIC: the connection closes then, answered or not
    int lock_ = -1;         // the lock lasts while this descriptor is open
    QSocketNotifier* readable_ = nullptr; // children, as they may end in their own signal
    QSocketNotifier* writable_ = nullptr;
    QTimer due_; // sd-bus's next time-out, or giveUpUs_ if sooner
};

} // namespace vellomarin
