#include "WakeMessage.h"

#include <sys/wait.h>

namespace vellomarin {

namespace {
constexpr unsigned char kArm = 'A';
constexpr unsigned char kDisarm = 'D';
} // namespace

WakeMessage EncodeWakeRequest(std::optional<int64_t> atMs) {
    WakeMessage message{};
    if (!atMs || *atMs < 0 || *atMs > kLatestWakeMs) {
        message[0] = kDisarm;
        return message;
    }
    message[0] = kArm;
    for (std::size_t i = 0; i < 8; ++i)
        message[1 + i] = static_cast<unsigned char>(static_cast<uint64_t>(*atMs) >> (8 * i));
    return message;
}

WakeRequest DecodeWakeRequest(const WakeMessage& bytes, std::size_t size) {
    if (size != kWakeMessageSize)
        return {};
    uint64_t value = 0;
    for (std::size_t i = 0; i < 8; ++i)
        value |= static_cast<uint64_t>(bytes[1 + i]) << (8 * i);
    if (bytes[0] == kDisarm && value == 0)
        return {WakeRequest::Disarm, 0};
    if (bytes[0] == kArm && value <= static_cast<uint64_t>(kLatestWakeMs))
        return {WakeRequest::Arm, static_cast<int64_t>(value)};
    return {};
}

std::string DescribeWakeHelperEnd(int waitStatus) {
    if (WIFSIGNALED(waitStatus))
        return "killed by signal " + std::to_string(WTERMSIG(waitStatus));
    switch (static_cast<WakeHelperExit>(WEXITSTATUS(waitStatus))) {
    case WakeHelperExit::ChannelClosed:
        return "its channel closed";
    case WakeHelperExit::NoCapability:
        return "it has no CAP_WAKE_ALARM";
    case WakeHelperExit::NoNewPrivsRefused:
        return "no-new-privileges was refused";
    case WakeHelperExit::TimerRefused:
        return "the kernel refused it a wake timer";
    case WakeHelperExit::SetTimerRefused:
        return "the kernel refused to set its wake timer";
    case WakeHelperExit::ReceiveFailed:
        return "it could not read its channel";
    }
    return "status " + std::to_string(WEXITSTATUS(waitStatus));
}

} // namespace vellomarin
