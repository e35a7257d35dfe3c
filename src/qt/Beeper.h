#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

struct ca_context;

namespace vellomarin {

// Plays the desktop's alert sound (the sound theme's "bell") through libcanberra.
// Where no sound server answers, falls back to the X bell. Never waits for the sound
// to end.
//
// libcanberra's play waits for the sound server's answer, which costs the event
// thread about half a millisecond a beep, and far more on the first, uncached play or
// when the server is slow. So the plays run on a thread of their own: beep() only
// hands one over and returns. That thread also connects to the server, at start-up.
class Beeper {
public:
    Beeper();
    ~Beeper();
    Beeper(const Beeper&) = delete;
    Beeper& operator=(const Beeper&) = delete;

    // Call on the GUI thread.
    void beep();

    // Whether the sound theme is played (else the X bell rings). Waits until the
    // connection to the sound server has been tried.
    bool usesSoundTheme();

private:
    enum class State { Opening, SoundTheme, XBell };

    void run();
    bool open();
    void play();
    static void xBellFromSoundThread();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable opened_;
    int pending_ = 0; // beeps handed over and not yet played; guarded by mutex_
    bool stopping_ = false;
    std::atomic<State> state_{State::Opening};

    // The sound thread's own.
    ca_context* context_ = nullptr;
    uint32_t nextPlayId_ = 1; // 1 or 2

    std::thread thread_; // last, so it starts after everything it uses
};

} // namespace vellomarin
