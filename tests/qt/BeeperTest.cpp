// The beeper's policy against a scripted sound server, on a manual clock.
#include "qt/Beeper.h"
#include "qt/SoundBackend.h"

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
using Clock = std::chrono::steady_clock;

// A server that is up or down, and can hang its callers until released. A connection
// lasts until the server goes down.
struct Server {
    std::mutex mutex;
    std::condition_variable released;
    bool up = false, hang = false, hanging = false;
    int generation = 0, opens = 0, closes = 0, plays = 0, xBells = 0;

    void set(bool up_, bool hang_) {
        std::lock_guard lock(mutex);
        generation += up && !up_;
        up = up_;
        hang = hang_;
        released.notify_all();
    }
    bool answer(std::unique_lock<std::mutex>& lock) {
        hanging = hang;
        released.wait(lock, [this] { return !hang; });
        hanging = false;
        return up;
    }
    template <typename T> T get(T Server::*field) {
        std::lock_guard lock(mutex);
        return this->*field;
    }
};

class FakeBackend : public SoundBackend {
public:
    explicit FakeBackend(std::shared_ptr<Server> server) : server_(std::move(server)) {}
    bool open() override {
        std::unique_lock lock(server_->mutex);
        ++server_->opens;
        connectedTo_ = server_->answer(lock) ? server_->generation : -1;
        return connectedTo_ >= 0;
    }
    bool play() override {
        std::unique_lock lock(server_->mutex);
        const bool played = server_->answer(lock) && connectedTo_ == server_->generation;
        server_->plays += played;
        return played;
    }
    void close() override {
        std::lock_guard lock(server_->mutex);
        ++server_->closes;
        connectedTo_ = -1;
    }

private:
    std::shared_ptr<Server> server_;
    int connectedTo_ = -1;
};

template <typename Pred> bool eventually(Pred pred) {
    for (const auto deadline = Clock::now() + 10s; !pred(); std::this_thread::sleep_for(1ms))
        if (Clock::now() > deadline)
            return false;
    return true;
}

class BeeperTest : public ::testing::Test {
protected:
    // The thread may outlive the Beeper, so it shares what it uses.
    std::shared_ptr<Server> server = std::make_shared<Server>();
    std::shared_ptr<std::atomic<int64_t>> ms = std::make_shared<std::atomic<int64_t>>(0);

    std::unique_ptr<Beeper> make(bool upAtStart, std::chrono::milliseconds stuckAfter = 1h) {
        server->set(upAtStart, false);
        auto beeper = std::make_unique<Beeper>(
            std::make_unique<FakeBackend>(server),
            [s = server] { std::lock_guard lock(s->mutex); ++s->xBells; },
            BeeperTiming{1s, stuckAfter, 50ms,
                         [ms = ms] { return Clock::time_point(std::chrono::milliseconds(*ms)); }});
        EXPECT_TRUE(eventually([&] { return server->get(&Server::opens) == 1; }));
        return beeper;
    }
    // One Alarm tick: 'P' when both beeps were played, 'X' when both rang the X bell.
    char tick(Beeper& beeper) {
        const int plays = server->get(&Server::plays), heard = plays + server->get(&Server::xBells);
        beeper.beep();
        beeper.beep();
        EXPECT_TRUE(eventually([&] {
            return server->get(&Server::plays) + server->get(&Server::xBells) == heard + 2;
        }));
        *ms += 100;
        const int played = server->get(&Server::plays) - plays;
        return played == 2 ? 'P' : played == 0 ? 'X' : '?';
    }
};

TEST_F(BeeperTest, TriesForABeepAtMostOnceASecondWhileNoServerAnswers) {
    auto beeper = make(false);
    *ms += 3600'000;
    EXPECT_EQ(server->get(&Server::opens), 1) << "tried at rest";
    for (int i = 0; i < 35; ++i)
        EXPECT_EQ(tick(*beeper), 'X');
    EXPECT_EQ(server->get(&Server::opens), 1 + 4);
}

TEST_F(BeeperTest, PlaysFromTheFirstBeepAfterTheServerAnswers) {
    struct Case {
        const char* name;
        bool upAtStart;
        int downAtTick, upAtTick; // -1: never
        std::string heard;
    };
    for (const Case& c : std::initializer_list<Case>{
             {"up all along", true, -1, -1, "PPPP"},
             {"started before the ringing", false, -1, 0, "PPPP"},
             {"started during it", false, -1, 3, "XXXXXXXXXXPP"},
             {"restarted during it", true, 3, 5, "PPPXXXXXXXXXXPP"},
             {"gone for good", true, 1, -1, "PXXXXXXXXXXXX"},
         }) {
        SCOPED_TRACE(c.name);
        server = std::make_shared<Server>();
        auto beeper = make(c.upAtStart);
        *ms += 10'000;
        std::string heard;
        for (int i = 0; i < static_cast<int>(c.heard.size()); ++i) {
            if (i == c.downAtTick || i == c.upAtTick)
                server->set(i == c.upAtTick, false);
            heard += tick(*beeper);
        }
        EXPECT_EQ(heard, c.heard);
        EXPECT_EQ(beeper->soundServerAnswers(), heard.back() == 'P');
    }
}

TEST_F(BeeperTest, RingsTheXBellWhileACallHangsAndPlaysOnceItAnswers) {
    for (const bool inPlay : {true, false}) {
        SCOPED_TRACE(inPlay ? "hung play" : "hung try");
        server = std::make_shared<Server>();
        auto beeper = make(inPlay, 100ms);
        *ms += 10'000;
        server->set(inPlay, true);
        beeper->beep();
        ASSERT_TRUE(eventually([&] { return server->get(&Server::hanging); }));
        *ms += 100;
        for (int i = 0; i < 20; ++i)
            beeper->beep();
        EXPECT_EQ(server->get(&Server::xBells), 20); // at once, on this thread
        EXPECT_FALSE(beeper->soundServerAnswers());
        server->set(true, false);
        EXPECT_TRUE(eventually([&] { return beeper->soundServerAnswers(); }));
        EXPECT_EQ(tick(*beeper), 'P');
    }
}

TEST_F(BeeperTest, ClosesWithinItsWaitWhileACallHangs) {
    auto beeper = make(true);
    server->set(true, true);
    beeper->beep();
    ASSERT_TRUE(eventually([&] { return server->get(&Server::hanging); }));
    auto closing = std::async(std::launch::async, [&] { beeper.reset(); });
    const bool closed = closing.wait_for(5s) == std::future_status::ready;
    server->set(false, false); // the play fails, after the application may be gone
    EXPECT_TRUE(closed);
    // The thread left behind lets go of the server once it answers, and rings nothing.
    EXPECT_TRUE(eventually([&] { return server->get(&Server::closes) >= 1; }));
    EXPECT_EQ(server->get(&Server::xBells), 0);
}

} // namespace
} // namespace vellomarin
