// The beeper's policy against a scripted sound server, on a manual clock.
#include "system/Beeper.h"
#include "system/SoundBackend.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <future>
#include <mutex>
#include <string>
#include <thread>

namespace vellomarin {
namespace {

using namespace std::chrono_literals;

// A server that is up or down, or hangs its callers until set again; and the clock.
// Each time it goes down, the connections to it are lost.
struct Server {
    std::mutex mutex;
    std::condition_variable changed;
    bool up = false, hang = false;
    std::atomic<int> run = 0; // how many times it went down
    std::atomic<bool> hanging = false;
    std::atomic<int> opens = 0, plays = 0, xBells = 0;
    std::atomic<int64_t> ms = 0;

    void set(bool up_, bool hang_ = false) {
        std::lock_guard lock(mutex);
        run += up && !up_;
        up = up_;
        hang = hang_;
        changed.notify_all();
    }
    bool answer() {
        std::unique_lock lock(mutex);
        hanging = hang;
        changed.wait(lock, [this] { return !hang; });
        hanging = false;
        return up;
    }
};

// A connection lasts until the server goes down.
struct FakeBackend : SoundBackend {
    explicit FakeBackend(std::shared_ptr<Server> server) : s(std::move(server)) {}
    bool open() override {
        ++s->opens;
        run = s->run;
        return connected = s->answer();
    }
    bool play() override {
        const bool played = s->answer() && connected && run == s->run;
        s->plays += played;
        return played;
    }
    void close() override { connected = false; }
    std::shared_ptr<Server> s;
    bool connected = false;
    int run = 0;
};

template <typename Pred> bool eventually(Pred pred) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!pred() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    return pred();
}

class BeeperTest : public ::testing::Test {
protected:
    // Shared with the sound thread, which may outlive its Beeper.
    std::shared_ptr<Server> server = std::make_shared<Server>();

    // Tried once at start-up, then left at rest for 10 s.
    std::unique_ptr<Beeper> make(bool upAtStart) {
        server->set(upAtStart);
        auto beeper = std::make_unique<Beeper>(
            std::make_unique<FakeBackend>(server), [s = server] { ++s->xBells; },
            BeeperTiming{1s, 150ms, 50ms, [s = server] {
                             return std::chrono::steady_clock::time_point(1ms * s->ms.load());
                         }});
        EXPECT_TRUE(eventually([&] { return server->opens == 1; }));
        server->ms += 10'000;
        return beeper;
    }
    // One Alarm tick: 'P' when both beeps were played, 'X' when both rang the X bell.
    char tick(Beeper& beeper) {
        const int plays = server->plays, heard = plays + server->xBells;
        beeper.beep();
        beeper.beep();
        EXPECT_TRUE(eventually([&] { return server->plays + server->xBells == heard + 2; }));
        server->ms += 100;
        return "X?P"[server->plays - plays];
    }
};

TEST_F(BeeperTest, TriesForABeepAtMostOnceASecondAndPlaysFromTheFirstTryAnswered) {
    struct Case {
        const char* name;
        bool upAtStart, restartedBefore;
        int downAtTick, upAtTick, opens;
        std::string heard;
    };
    for (const Case& c : std::initializer_list<Case>{
             {"started before the ringing", false, false, -1, 0, 2, "PPPP"},
             {"restarted before the ringing", true, true, -1, -1, 2, "PPPP"},
             {"started during it", false, false, -1, 3, 3, "XXXXXXXXXXPP"},
             {"restarted during it", true, false, 3, 5, 3, "PPPXXXXXXXXXXPP"},
             {"gone for good", true, false, 1, -1, 4, "PXXXXXXXXXXXXXXXXXXXXXXXX"},
         }) {
        SCOPED_TRACE(c.name);
        server = std::make_shared<Server>();
        auto beeper = make(c.upAtStart);
        if (c.restartedBefore) {
            server->set(false);
            server->set(true);
        }
        std::string heard;
        for (int i = 0; i < static_cast<int>(c.heard.size()); ++i) {
            if (i == c.downAtTick || i == c.upAtTick)
                server->set(i == c.upAtTick);
            heard += tick(*beeper);
        }
        EXPECT_EQ(heard, c.heard);
        EXPECT_EQ(server->opens, c.opens);
        EXPECT_EQ(beeper->soundServerAnswers(), heard.back() == 'P');
    }
}

TEST_F(BeeperTest, AHungPlayNeitherSilencesTheRingingNorHoldsUpClosing) {
    auto beeper = make(true);
    server->set(true, true);
    beeper->beep();
    ASSERT_TRUE(eventually([&] { return server->hanging.load(); }));
    server->ms += 200;
    for (int i = 0; i < 20; ++i)
        beeper->beep();
    EXPECT_EQ(server->xBells, 20); // at once, on this thread
    EXPECT_FALSE(beeper->soundServerAnswers());

    auto closing = std::async(std::launch::async, [&] { beeper.reset(); });
    const bool closed = closing.wait_for(5s) == std::future_status::ready;
    server->set(false); // the play fails, when the application may be gone
    EXPECT_TRUE(closed);
    // The thread left behind lets go of everything, and rings nothing more.
    EXPECT_TRUE(eventually([&] { return server.use_count() == 1; }));
    EXPECT_EQ(server->xBells, 20);
}

} // namespace
} // namespace vellomarin
