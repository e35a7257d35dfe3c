#pragma once

#include <optional>

#include <sys/types.h>

namespace vellomarin {

// The wake helper's end of the channel: the descriptor its messages are read from.
inline constexpr int kWakeChannelFd = 3;

// A running wake helper, as the window holds it: a child process, the window's end of
// the channel (messages from WakeMessage.h), and a pidfd that becomes readable when the
// helper ends. Closing the channel ends the helper, its timer with it.
struct WakeHelper {
    pid_t pid = -1;
    int channel = -1;
    int ended = -1; // the pidfd
};

// Starts vellomarin-wake from beside the program's installed place (the libexec
// folder) or, in a build tree, from the program's own folder. Call first in main(),
// before any thread starts and before the window drops its capabilities, so that an
// ambient CAP_WAKE_ALARM passes to the helper. None if no helper could be started;
// one that starts without the capability ends at once by itself.
std::optional<WakeHelper> StartWakeHelper();

} // namespace vellomarin
