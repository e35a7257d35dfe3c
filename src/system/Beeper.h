#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace vellomarin {

class SoundBackend;

struct BeeperTiming {
    // Tries to reach the sound server are made for a beep, and no closer together.
    std::chrono::milliseconds retryInterval{1000};
    // A call into the server that has lasted this long is taken to hang.
    std::chrono::milliseconds stuckAfter{100};
    // How long closing waits for the sound thread before leaving it behind.
    std::chrono::milliseconds closeWait{300};
    // The clock of the two above; steady_clock's when empty.
    std::function<std::chrono::steady_clock::time_point()> now;
};

// Plays the desktop's alert sound through the sound server, and rings the X bell while
// none answers. Never waits for the sound to end, nor for the server.
//
// The server's calls run on a thread of their own: beep() only hands one over and
// returns. That thread connects at start-up; while no server answers, it tries again
// when a beep comes, at most once a retry interval, and plays from the first beep after
// a try succeeds. A play that fails means the connection is lost. While the thread is
// stuck in a call, beeps ring the X bell.
//
// Construct after the QApplication and destroy before it.
class Beeper {
public:
    // libcanberra, and `bell` for the X bell (QApplication::beep(), which the GUI
    // thread calls).
    explicit Beeper(std::function<void()> bell);
    // `xBell` is called on any thread and must not block.
    Beeper(std::unique_ptr<SoundBackend> backend, std::function<void()> xBell,
           BeeperTiming timing = {});
    // Returns within the close wait even when the server hangs.
    ~Beeper();
    Beeper(const Beeper&) = delete;
    Beeper& operator=(const Beeper&) = delete;

    // Call on the GUI thread.
    void beep();

    // Whether a beep now would be played through the sound server. Any thread.
    bool soundServerAnswers() const;

private:
    struct Shared;

    // Shared with the sound thread, which may outlive this object when left behind.
    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};

} // namespace vellomarin
