#pragma once

#include <cstdint>

struct ca_context;

namespace vellomarin {

// Plays the desktop's alert sound (the sound theme's "bell") through libcanberra,
// which hands it to the sound server and returns at once. Where no sound server
// answers, falls back to the X bell. Never waits for the sound to end.
class Beeper {
public:
    Beeper();
    ~Beeper();
    Beeper(const Beeper&) = delete;
    Beeper& operator=(const Beeper&) = delete;

    void beep();

    // Whether the sound theme is played (else the X bell rings).
    bool usesSoundTheme() const { return context_ != nullptr; }

private:
    ca_context* context_ = nullptr;
    uint32_t nextPlayId_ = 1; // 1 or 2
};

} // namespace vellomarin
