#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

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

// Exactly what EncodeWakeRequest makes, and nothing else, is a request; any other bytes
// (another size, kind, or instant) are ignored.
WakeRequest DecodeWakeRequest(const unsigned char* bytes, std::size_t size);

} // namespace vellomarin
