#pragma once

#include "system/SoundBackend.h"

#include <cstdint>

struct ca_context;

namespace vellomarin {

// The sound theme's "bell" through libcanberra, which hands it to the sound server
// (PulseAudio, or PipeWire's PulseAudio service).
class CanberraBackend : public SoundBackend {
public:
    CanberraBackend() = default;
    ~CanberraBackend() override;
    CanberraBackend(const CanberraBackend&) = delete;
    CanberraBackend& operator=(const CanberraBackend&) = delete;

    bool open() override;
    bool play() override;
    void close() override;

private:
    ca_context* context_ = nullptr;
    uint32_t nextPlayId_ = 1; // 1 or 2
};

} // namespace vellomarin
