#pragma once

#include <sys/types.h>

#include <thread>

namespace vellomarin {

// The wake helper's end of the channel: the descriptor its messages are read from.
inline constexpr int kWakeChannelFd = 3;

// A started wake helper, as the window holds it: its process and a pidfd that becomes
// readable when it ends; or, where it could not be started, the errno of the attempt.
struct WakeHelperStart {
    pid_t pid = -1;
    int ended = -1; // the pidfd
    int error = 0;
};

// Starts vellomarin-wake, once, when the first alarm is set: from beside the program's
// installed place (the libexec folder) or, in a build tree, from the program's own
// folder.
//
// The helper has CAP_WAKE_ALARM from its own file capability, or ambient from the
// window (systemd gives it to local sessions), which the window drops as it starts.
// Made first in main(), before any other thread, the starter keeps an ambient one, and
// nothing else, on a thread of its own until the helper has it; the window's own
// threads hold none.
class WakeHelperStarter {
public:
    WakeHelperStarter();
    ~WakeHelperStarter();
    WakeHelperStarter(const WakeHelperStarter&) = delete;
    WakeHelperStarter& operator=(const WakeHelperStarter&) = delete;

    // Starts the helper with `channel`, which it takes over, as its descriptor 3. Once
    // answers() is readable, takeAnswer() says how that went. Call it once, and only
    // where answers() is a descriptor (it is -1 where none could be made).
    void start(int channel);
    int answers() const { return answers_[0]; }
    WakeHelperStart takeAnswer();

private:
    void answer(int channel);

    int requests_[2] = {-1, -1};
    int answers_[2] = {-1, -1};
    std::thread keeper_; // holds the ambient capability, where there is one
};

} // namespace vellomarin
