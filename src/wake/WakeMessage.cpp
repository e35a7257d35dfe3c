#include "WakeMessage.h"

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

WakeRequest DecodeWakeRequest(const unsigned char* bytes, std::size_t size) {
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

} // namespace vellomarin
