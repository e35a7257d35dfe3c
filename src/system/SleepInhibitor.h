#pragma once

#include "system/LogindLock.h"
#include "system/LoopBus.h"

#include <cstdint>

namespace vellomarin {

// Keeps the machine awake while held: a block lock from logind on the system bus
// (LogindLock), and the desktop portal's inhibit of suspend and idle on the session bus
// (GNOME's own idle suspend heeds the second and not the first).
//
// The portal's inhibit is asked on a session-bus connection of its own (LoopBus) that
// lasts as long as the hold: the portal ends a caller's requests when it leaves the
// bus, so closing the connection gives back whatever was granted or is still to be.
// What is asked before the bus is connected goes out once it is. Where the portal
// refuses suspend (GNOME's GTK backend can block idle alone), it is asked once more for
// idle; where it refuses that too, one line on stderr says so. A bus or a portal that is
// missing, hangs or drops the connection holds nothing and says nothing; each hold asks
// anew.
class SleepInhibitor : public LoopBus {
public:
    explicit SleepInhibitor(QObject* parent = nullptr);
    ~SleepInhibitor() override;

    void setHeld(bool held);

private:
    bool askPortal(uint32_t flags);
    void portalRefused();
    bool finished() const override { return portalDone_; }
    struct Answer; // sd-bus's callbacks: the call's reply, and the request's Response

    bool held_ = false;
    LogindLock logind_;
    uint32_t asked_ = 0;      // the flags of the portal's request under way
    bool portalDone_ = false; // nothing is held nor asked: the connection may close
};

} // namespace vellomarin
