#pragma once

#include "system/LoopBus.h"

namespace vellomarin {

// logind's block lock on sleep, asked on a system-bus connection of its own (LoopBus):
// each hold connects afresh and asks, the connection closes with the answer, with the
// hold, or 25 s after it was opened. A bus or a logind that is missing, refuses even
// sleep:idle, hangs or drops the connection holds nothing and says nothing; the next
// hold tries again.
class LogindLock : public LoopBus {
public:
    explicit LogindLock(QObject* parent = nullptr);
    ~LogindLock() override;

    void setHeld(bool held);

private:
    bool ask(const char* what);
    bool finished() const override { return answered_; }
    struct Answer; // sd-bus's callback, which takes what logind answered

    bool askedAll_ = false; // the question under way is for everything, not sleep:idle alone
    bool answered_ = false;
    int lock_ = -1; // the lock lasts while this descriptor is open
};

} // namespace vellomarin
