// vellomarin-wake: the one process of Vellomarin that holds a privilege. It keeps
// CAP_WAKE_ALARM and nothing else, and sets the timer that wakes a sleeping machine at
// the instants the window sends it over the channel on descriptor 3. It ends when the
// window's end closes (the window's crash included), and its timer ends with it; and at
// once, with a status of its own (WakeHelperExit), when it could wake nothing: no
// capability, or a wake timer the kernel refuses (in a user namespace, say).

#include "wake/WakeCapability.h"
#include "wake/WakeHelper.h"
#include "wake/WakeMessage.h"

#include <cerrno>
#include <ctime>

#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/timerfd.h>
#include <unistd.h>

namespace {

using vellomarin::WakeHelperExit;
using vellomarin::WakeRequest;

int createTimer() {
    const vellomarin::WakeAlarmRaised raised;
    return raised ? timerfd_create(CLOCK_REALTIME_ALARM, TFD_CLOEXEC) : -1;
}

// Arms `timer` at the request's wall instant, or disarms it; false where refused.
bool setTimer(int timer, const WakeRequest& request) {
    const vellomarin::WakeAlarmRaised raised;
    // No cancel on a clock change: an absolute alarm timer follows the wall clock, and
    // the window, whose own timer is cancelled then, sends the instant afresh.
    itimerspec at{};
    if (request.kind == WakeRequest::Arm) {
        at.it_value = {static_cast<time_t>(request.atMs / 1000),
                       static_cast<long>(request.atMs % 1000) * 1'000'000};
    } else {
        // Disarmed by an instant long passed, which leaves nothing pending: it expires
        // at once, and /proc shows no time left. A zero would disarm it too, but the
        // kernel then goes on showing the old instant in fdinfo, so that nobody could
        // tell a disarmed timer from an armed one.
        at.it_value.tv_nsec = 1;
    }
    return raised && timerfd_settime(timer, TFD_TIMER_ABSTIME, &at, nullptr) == 0;
}

// An empty datagram reads as 0 bytes, as the end does: only the end hangs up.
bool channelClosed() {
    pollfd channel{vellomarin::kWakeChannelFd, POLLRDHUP, 0};
    return poll(&channel, 1, 0) != 0 && (channel.revents & (POLLRDHUP | POLLHUP)) != 0;
}

} // namespace

int main() {
    if (!vellomarin::KeepOnlyWakeAlarmCapability())
        return static_cast<int>(WakeHelperExit::NoCapability);
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        return static_cast<int>(WakeHelperExit::NoNewPrivsRefused);
    // Whatever else the window's own starter left open is none of the helper's business
    // (Linux before 5.9 keeps them, which is no worse than before).
    static_cast<void>(close_range(vellomarin::kWakeChannelFd + 1, ~0U, 0));
    // Made once, before the first message: where the kernel refuses it, nothing this
    // helper could do would wake the machine, so it does not stay.
    const int timer = createTimer();
    if (timer < 0)
        return static_cast<int>(WakeHelperExit::TimerRefused);
    for (;;) {
        vellomarin::WakeMessage bytes{};
        // MSG_TRUNC: the datagram's whole size, so a longer one is seen as such.
        const ssize_t size =
            recv(vellomarin::kWakeChannelFd, bytes.data(), bytes.size(), MSG_TRUNC);
        if (size < 0 && errno == EINTR)
            continue;
        if (size < 0)
            return static_cast<int>(WakeHelperExit::ReceiveFailed);
        if (size == 0 && channelClosed())
            return static_cast<int>(WakeHelperExit::ChannelClosed);
        const WakeRequest request =
            vellomarin::DecodeWakeRequest(bytes, static_cast<std::size_t>(size));
        if (request.kind != WakeRequest::Ignore && !setTimer(timer, request))
            return static_cast<int>(WakeHelperExit::SetTimerRefused);
    }
}
