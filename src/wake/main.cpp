// vellomarin-wake: the one process of Vellomarin that holds a privilege. It keeps
// CAP_WAKE_ALARM and nothing else, and sets the timer that wakes a sleeping machine at
// the instants the window sends it over the channel on descriptor 3. It ends when the
// window's end closes (the window's crash included), and its timer ends with it; also
// when it has no capability, or the kernel refuses its timer (in a user namespace, say),
// since it could then wake nothing.

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

using vellomarin::WakeRequest;

// Arms `timer` (created on first use) at the wall instant `atMs`; false where refused.
bool arm(int& timer, int64_t atMs) {
    const vellomarin::WakeAlarmRaised raised;
    if (!raised)
        return false;
    if (timer < 0)
        timer = timerfd_create(CLOCK_REALTIME_ALARM, TFD_CLOEXEC);
    // No cancel on a clock change: an absolute alarm timer follows the wall clock, and
    // the window, whose own timer is cancelled then, sends the instant afresh.
    const itimerspec at{
        {}, {static_cast<time_t>(atMs / 1000), static_cast<long>(atMs % 1000) * 1'000'000}};
    return timer >= 0 && timerfd_settime(timer, TFD_TIMER_ABSTIME, &at, nullptr) == 0;
}

// An empty datagram reads as 0 bytes, as the end does: only the end hangs up.
bool channelClosed() {
    pollfd channel{vellomarin::kWakeChannelFd, POLLRDHUP, 0};
    return poll(&channel, 1, 0) != 0 && (channel.revents & (POLLRDHUP | POLLHUP)) != 0;
}

} // namespace

int main() {
    if (!vellomarin::KeepOnlyWakeAlarmCapability())
        return 0;
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        return 0;
    // Whatever else the window's own starter left open is none of the helper's business
    // (Linux before 5.9 keeps them, which is no worse than before).
    static_cast<void>(close_range(vellomarin::kWakeChannelFd + 1, ~0U, 0));
    int timer = -1;
    for (;;) {
        unsigned char bytes[vellomarin::kWakeMessageSize];
        // MSG_TRUNC: the datagram's whole size, so a longer one is seen as such.
        const ssize_t size = recv(vellomarin::kWakeChannelFd, bytes, sizeof bytes, MSG_TRUNC);
        if (size < 0 && errno == EINTR)
            continue;
        if (size < 0 || (size == 0 && channelClosed()))
            return 0;
        const WakeRequest request =
            vellomarin::DecodeWakeRequest(bytes, static_cast<std::size_t>(size));
        if (request.kind == WakeRequest::Disarm && timer >= 0) {
            close(timer);
            timer = -1;
        } else if (request.kind == WakeRequest::Arm && !arm(timer, request.atMs)) {
            return 0;
        }
    }
}
