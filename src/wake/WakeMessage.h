#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace vellomarin {

// What the window tells the wake helper: the wall instant (ms since the epoch) at which
// its timer is to wake the machine, or none. A message is one datagram of exactly
// kWakeMessageSize bytes: 'A' and the instant, or 'D' and zeros, the instant as eight
// bytes, least significant first.
inline constexpr std::size_t kWakeMessageSize = 9;
// 9999-12-31T23:59:59.999Z: past any alarm, and well inside what a timespec holds.
inline constexpr int64_t kLatestWakeMs = 253'402'300'799'999;

using WakeMessage = std::array<unsigned char, kWakeMessageSize>;

// None, or an instant outside [0, kLatestWakeMs], asks for no timer.
WakeMessage EncodeWakeRequest(std::optional<int64_t> atMs);

struct WakeRequest {
    enum Kind { Ignore, Disarm, Arm };
    Kind kind = Ignore;
    int64_t atMs = 0; // for Arm
};

// `received` holds the first bytes of a datagram whose whole size is `size` (as recv()
// with MSG_TRUNC gives it). Exactly what EncodeWakeRequest makes, and nothing else, is a
// request; any other bytes (another size, kind, or instant) are ignored.
WakeRequest DecodeWakeRequest(const WakeMessage& received, std::size_t size);

// How the helper ends, as its exit status. Only the first is the window's doing; the
// window names the others in one line on stderr, since the machine is then not woken.
enum class WakeHelperExit : int {
    ChannelClosed = 0,   // the window's end closed
    NoCapability = 2,    // no CAP_WAKE_ALARM to keep, or the others could not be dropped
    NoNewPrivsRefused = 3,
    TimerRefused = 4,    // the kernel would not create its wake timer (a user namespace)
    SetTimerRefused = 5, // nor arm or disarm it
    ReceiveFailed = 6,   // the channel could not be read
};

// What a status that waitpid() gave for the helper says, as the window prints it.
std::string DescribeWakeHelperEnd(int waitStatus);

} // namespace vellomarin
