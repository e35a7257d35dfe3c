#include "Beeper.h"

#include <QApplication>
#include <QMetaObject>

#include <canberra.h>
#include <pthread.h>

namespace vellomarin {

namespace {
// Two beeps make one Alarm tick; more waiting than that means the server is stuck,
// and a burst of stale beeps when it comes back would help nobody.
constexpr int kMaxPending = 2;
} // namespace

Beeper::Beeper() : thread_([this] { run(); }) {}

Beeper::~Beeper() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void Beeper::beep() {
    if (state_.load(std::memory_order_acquire) == State::XBell) {
        QApplication::beep();
        return;
    }
    {
        std::lock_guard lock(mutex_);
        if (pending_ < kMaxPending)
            ++pending_;
    }
    wake_.notify_one();
}

bool Beeper::usesSoundTheme() {
    std::unique_lock lock(mutex_);
    opened_.wait(lock, [this] { return state_.load() != State::Opening; });
    return state_.load() == State::SoundTheme;
}

void Beeper::run() {
    pthread_setname_np(pthread_self(), "vellomarin-beep");
    const bool theme = open();
    {
        std::lock_guard lock(mutex_);
        state_.store(theme ? State::SoundTheme : State::XBell, std::memory_order_release);
    }
    opened_.notify_all();

    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || pending_ > 0; });
        if (stopping_)
            break;
        int count = pending_;
        pending_ = 0;
        lock.unlock();
        while (count-- > 0) {
            if (theme)
                play();
            else
                xBellFromSoundThread(); // beeps handed over while the connection was tried
        }
        lock.lock();
    }
    lock.unlock();
    if (context_)
        ca_context_destroy(context_);
}

bool Beeper::open() {
    ca_context* context = nullptr;
    if (ca_context_create(&context) != CA_SUCCESS)
        return false;
    ca_context_change_props(context, CA_PROP_APPLICATION_NAME, "Vellomarin", CA_PROP_APPLICATION_ID,
                            "vellomarin", CA_PROP_APPLICATION_ICON_NAME, "vellomarin", nullptr);
    // Connects to the sound server now, not on the first beep of an alarm.
    if (ca_context_open(context) != CA_SUCCESS) {
        ca_context_destroy(context);
        return false;
    }
    context_ = context;
    return true;
}

void Beeper::play() {
    // Two plays in one tick must both sound, so they carry different ids.
    const uint32_t id = nextPlayId_;
    nextPlayId_ = 3 - nextPlayId_;
    // Cached in the sound server by the first play, so later plays send no data. Not
    // cached at start-up: the idle process then used about a fifth more CPU in every
    // side-by-side run (cause not found), and the first upload costs only this thread.
    if (ca_context_play(context_, id, CA_PROP_EVENT_ID, "bell", CA_PROP_EVENT_DESCRIPTION, "Alarm",
                        CA_PROP_CANBERRA_CACHE_CONTROL, "permanent", nullptr) != CA_SUCCESS)
        xBellFromSoundThread();
}

void Beeper::xBellFromSoundThread() {
    // The X connection belongs to the GUI thread.
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(
            app, [] { QApplication::beep(); }, Qt::QueuedConnection);
}

} // namespace vellomarin
