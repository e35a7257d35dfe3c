#include "Beeper.h"

#include "system/CanberraBackend.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <utility>

#include <pthread.h>

namespace vellomarin {

using Clock = std::chrono::steady_clock;

namespace {

// Two beeps make one Alarm tick; more waiting than that means the server is slow, and a
// burst of stale beeps when it answers would help nobody.
constexpr int kMaxPending = 2;

// `bell` on the GUI thread, which owns the X connection, from whichever thread asks.
std::function<void()> onGuiThread(std::function<void()> bell) {
    return [bell = std::move(bell)] {
        QCoreApplication* app = QCoreApplication::instance();
        if (!app)
            return;
        if (QThread::currentThread() == app->thread())
            bell();
        else
            QMetaObject::invokeMethod(app, bell, Qt::QueuedConnection);
    };
}

} // namespace

struct Beeper::Shared {
    Shared(std::unique_ptr<SoundBackend> backend_, std::function<void()> xBell_,
           BeeperTiming timing_)
        : backend(std::move(backend_)), xBell(std::move(xBell_)), timing(std::move(timing_)) {
        if (!timing.now)
            timing.now = [] { return Clock::now(); };
        lastTry = timing.now(); // the try at start-up
    }

    void run();

    // Makes one call into the server with the lock released; meanwhile callStart tells
    // the GUI thread how long it has been waiting.
    template <typename Call> bool call(std::unique_lock<std::mutex>& lock, Call server) {
        callStart = timing.now();
        lock.unlock();
        const bool answered = server();
        lock.lock();
        callStart.reset();
        return answered;
    }

    bool stuck(Clock::time_point now) const {
        return callStart && now - *callStart >= timing.stuckAfter;
    }

    // Under the lock, so that none rings once the Beeper (and then the application) goes.
    void ringXBells(int count) {
        for (; count > 0 && !stopping; --count)
            xBell();
    }

    const std::unique_ptr<SoundBackend> backend; // the sound thread's
    const std::function<void()> xBell;
    BeeperTiming timing;

    mutable std::mutex mutex;         // never held during a call into the server
    std::condition_variable wake;     // the sound thread waits on it
    std::condition_variable finished; // the Beeper's destructor waits on it
    // Guarded by mutex:
    bool stopping = false;
    bool done = false;      // the sound thread has let go of the server
    bool connected = false; // the last open or play succeeded
    bool tryWanted = false;
    int pending = 0; // beeps to play, or to ring as X bells when the server is gone
    std::optional<Clock::time_point> callStart;
    Clock::time_point lastTry;
};

void Beeper::Shared::run() {
    pthread_setname_np(pthread_self(), "vellomarin-beep");
    std::unique_lock lock(mutex);
    // At start-up, so that the first beep of an alarm need not wait for the connection.
    connected = call(lock, [this] { return backend->open(); });
    for (;;) {
        wake.wait(lock, [this] { return stopping || tryWanted || pending > 0; });
        if (stopping)
            break;
        if (tryWanted) {
            tryWanted = false;
            connected = call(lock, [this] { return backend->open(); });
            if (!connected)
                ringXBells(std::exchange(pending, 0));
        } else if (!connected) {
            // Handed over while a call was running that left no connection.
            ringXBells(std::exchange(pending, 0));
        } else {
            --pending;
            if (call(lock, [this] { return backend->play(); }))
                continue;
            // The connection is lost. A server that restarted while nothing rang is
            // back already: one try at once plays this very beep, unless a try was made
            // within the retry interval.
            connected = false;
            const Clock::time_point now = timing.now();
            if (now - lastTry >= timing.retryInterval) {
                lastTry = now;
                connected = call(lock, [this] { return backend->open() && backend->play(); });
            }
            if (!connected) {
                call(lock, [this] {
                    backend->close();
                    return true;
                });
                ringXBells(1 + std::exchange(pending, 0));
            }
        }
    }
    lock.unlock();
    backend->close();
    lock.lock();
    done = true;
    finished.notify_all();
}

Beeper::Beeper(std::function<void()> bell)
    : Beeper(std::make_unique<CanberraBackend>(), onGuiThread(std::move(bell))) {}

Beeper::Beeper(std::unique_ptr<SoundBackend> backend, std::function<void()> xBell,
               BeeperTiming timing)
    : shared_(std::make_shared<Shared>(std::move(backend), std::move(xBell), std::move(timing))),
      thread_([shared = shared_] { shared->run(); }) {}

Beeper::~Beeper() {
    std::unique_lock lock(shared_->mutex);
    shared_->stopping = true;
    shared_->wake.notify_one();
    // A hung server would hold the thread, and so the window's closing, for good. Past
    // the wait the thread is left to end with the process; it owns all it still uses.
    const bool ended = shared_->finished.wait_for(lock, shared_->timing.closeWait,
                                                  [this] { return shared_->done; });
    lock.unlock();
    if (ended)
        thread_.join();
    else
        thread_.detach();
}

void Beeper::beep() {
    Shared& s = *shared_;
    {
        std::lock_guard lock(s.mutex);
        const Clock::time_point now = s.timing.now();
        if (s.stuck(now)) {
            // Beeps waiting behind the hung call would sound late, if ever.
            s.pending = 0;
        } else {
            if (!s.connected && !s.tryWanted && now - s.lastTry >= s.timing.retryInterval) {
                s.tryWanted = true;
                s.lastTry = now;
            }
            // The thread plays it, or rings the X bell for it when its call fails.
            if (s.connected || s.tryWanted || s.callStart) {
                if (s.pending < kMaxPending)
                    ++s.pending;
                s.wake.notify_one();
                return;
            }
        }
    }
    s.xBell();
}

bool Beeper::soundServerAnswers() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->connected && !shared_->stuck(shared_->timing.now());
}

} // namespace vellomarin
