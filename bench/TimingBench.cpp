// Times the real window's own timers from inside the process, on the wall clock:
//
//   timing_bench lag SECONDS [busy]   when PANEL is rewritten (and repainted), against
//                                     the second boundary; beside it a plain QTimer
//                                     started at a random moment, as a naive clock would
//   timing_bench detect TRIALS        from the scheduled second to Alarm enabled and
//                                     to the first beep call
//
// Our slots are connected after the window's own, so they run right after each handler.
// Prints "sample" and "info" lines for bench/run.py.

#include "Common.h"

#include "core/clock/TimeText.h"
#include "qt/ClockLabel.h"
#include "qt/PhasedTimer.h"
#include "window/MainWindow.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <csignal>
#include <cstdlib>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vellomarin::bench {
namespace {

constexpr int64_t kNsPerMs = 1'000'000;
constexpr int64_t kNsPerSecond = 1'000'000'000;

// Seconds since local midnight of a wall instant, as the window's clock reads it.
int32_t localSecondOfDay(int64_t ns) {
    const time_t seconds = static_cast<time_t>(ns / kNsPerSecond);
    tm local{};
    localtime_r(&seconds, &local);
    return local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
}

double msPastSecond(int64_t ns) {
    return static_cast<double>(ns % kNsPerSecond) / kNsPerMs;
}

void runFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

template <typename T> T* child(QObject& window, const char* name) {
    auto* found = window.findChild<T*>(QString::fromLatin1(name));
    if (!found) {
        std::fprintf(stderr, "timing_bench: the window has no %s\n", name);
        std::exit(1);
    }
    return found;
}

// Notes the start of every paint of one widget.
class PaintWatcher : public QObject {
public:
    std::vector<int64_t> paints;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            paints.push_back(realtimeNs());
        return QObject::eventFilter(watched, event);
    }
};

// A process that keeps one core busy until its parent ends.
pid_t startSpinner() {
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        volatile uint64_t n = 0;
        for (;;)
            n = n + 1;
    }
    return pid;
}

int lag(int seconds, bool busy) {
    const char* tag = busy ? "busy" : "idle";
    const pid_t spinner = busy ? startSpinner() : -1;
    int argc = 1;
    char name[] = "timing_bench";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    info((std::string("load_before_") + tag).c_str(), loadAverage());

    MainWindow window([] {});
    window.show();
    auto* jikoku = child<PhasedTimer>(window, "Jikoku");
    auto* panel = child<ClockLabel>(window, "PANEL");

    struct Tick {
        int64_t ns;
        QString shown;
    };
    std::vector<Tick> ticks;
    ticks.reserve(static_cast<size_t>(seconds) + 16);
    QObject::connect(jikoku, &PhasedTimer::timeout, &app, [&] {
        ticks.push_back({realtimeNs(), panel->text()});
    });
    PaintWatcher painted;
    panel->installEventFilter(&painted);

    // The peers: a plain repeating QTimer of a second, as most clocks use, started at
    // whatever moment the program happens to start it. Qt lines a coarse timer (the
    // default) up with whole seconds of the monotonic clock, so it trails the wall
    // clock by a fixed amount of this machine's; a precise one keeps the random start.
    std::vector<int64_t> peerTicks;
    std::vector<int64_t> precisePeerTicks;
    QTimer peer;
    QTimer precisePeer;
    peer.setInterval(1000);
    precisePeer.setInterval(1000);
    precisePeer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&peer, &QTimer::timeout, &app, [&] { peerTicks.push_back(realtimeNs()); });
    QObject::connect(&precisePeer, &QTimer::timeout, &app,
                     [&] { precisePeerTicks.push_back(realtimeNs()); });
    std::mt19937 random(std::random_device{}());
    QTimer::singleShot(std::uniform_int_distribution<int>(0, 999)(random), &peer,
                       [&] { peer.start(); });
    QTimer::singleShot(std::uniform_int_distribution<int>(0, 999)(random), &precisePeer,
                       [&] { precisePeer.start(); });

    // The first second only settles the window in.
    runFor(1000);
    ticks.clear();
    painted.paints.clear();
    runFor(seconds * 1000);
    panel->removeEventFilter(&painted);

    std::set<int32_t> shownSeconds;
    int wrong = 0;
    for (const Tick& t : ticks) {
        const auto shown = ParseTimeText(t.shown);
        if (!shown) {
            ++wrong;
            continue;
        }
        const int32_t shownSecond = SecondsOfDay(*shown);
        shownSeconds.insert(shownSecond);
        const int32_t wallSecond = localSecondOfDay(t.ns);
        // How long the second on show has been running when it is written; a tick that
        // came before its boundary shows the previous second, and counts nearly a second.
        const int32_t behind = (wallSecond - shownSecond + kSecondsPerDay) % kSecondsPerDay;
        if (behind != 0)
            ++wrong;
        sample((std::string("lag_") + tag).c_str(), behind * 1000.0 + msPastSecond(t.ns));
    }
    for (int64_t p : painted.paints)
        sample((std::string("paint_") + tag).c_str(), msPastSecond(p));
    for (size_t i = 1; i < peerTicks.size(); ++i)
        sample((std::string("peer_") + tag).c_str(), msPastSecond(peerTicks[i]));
    for (size_t i = 1; i < precisePeerTicks.size(); ++i)
        sample((std::string("precise_peer_") + tag).c_str(), msPastSecond(precisePeerTicks[i]));

    // Every wall second in the run should have been shown once.
    int missed = 0;
    if (!ticks.empty()) {
        const int32_t first = localSecondOfDay(ticks.front().ns);
        const int32_t last = localSecondOfDay(ticks.back().ns);
        const int32_t span = (last - first + kSecondsPerDay) % kSecondsPerDay;
        for (int32_t s = 0; s <= span; ++s)
            if (!shownSeconds.count((first + s) % kSecondsPerDay))
                ++missed;
    }
    info((std::string("ticks_") + tag).c_str(), std::to_string(ticks.size()));
    info((std::string("missed_seconds_") + tag).c_str(), std::to_string(missed));
    info((std::string("wrong_second_") + tag).c_str(), std::to_string(wrong));
    info((std::string("load_after_") + tag).c_str(), loadAverage());

    if (spinner > 0) {
        kill(spinner, SIGKILL);
        waitpid(spinner, nullptr, 0);
    }
    return 0;
}

int detect(int trials) {
    int argc = 1;
    char name[] = "timing_bench";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    info("load_before_detect", loadAverage());

    int64_t firstBeep = 0;
    QEventLoop* waiting = nullptr;
    MainWindow window([&] {
        if (firstBeep == 0) {
            firstBeep = realtimeNs();
            if (waiting)
                waiting->quit();
        }
    });
    window.show();
    auto* jikoku = child<PhasedTimer>(window, "Jikoku");
    auto* alarm = child<QTimer>(window, "Alarm");
    auto* hou = child<QLineEdit>(window, "Hou");
    auto* min = child<QLineEdit>(window, "Min");
    auto* sec = child<QLineEdit>(window, "Sec");
    auto* settei = child<QPushButton>(window, "Settei");
    auto* cancel = child<QPushButton>(window, "Cancel");

    int64_t detected = 0;
    // The watch looks within the clock's tick, so the ringing starts there.
    QObject::connect(jikoku, &PhasedTimer::timeout, &app, [&] {
        if (detected == 0 && alarm->isActive())
            detected = realtimeNs();
    });

    std::mt19937 random(std::random_device{}());
    runFor(1000);
    int early = 0;
    int unanswered = 0;
    for (int trial = 0; trial < trials; ++trial) {
        // Click at a random point of the second.
        runFor(std::uniform_int_distribution<int>(0, 999)(random));
        const int64_t now = realtimeNs();
        const int64_t due = (now / kNsPerSecond + 2) * kNsPerSecond;
        const int32_t dueSecond = localSecondOfDay(due);
        detected = 0;
        firstBeep = 0;
        hou->setText(QString::number(dueSecond / 3600));
        min->setText(QString::number(dueSecond / 60 % 60));
        sec->setText(QString::number(dueSecond % 60));
        settei->click();

        QEventLoop loop;
        waiting = &loop;
        QTimer::singleShot(4000, Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
        waiting = nullptr;
        cancel->click();

        if (detected == 0 || firstBeep == 0) {
            ++unanswered;
            continue;
        }
        if (detected < due)
            ++early;
        sample("detect", static_cast<double>(detected - due) / kNsPerMs);
        sample("first_beep", static_cast<double>(firstBeep - due) / kNsPerMs);
    }
    info("detect_early", std::to_string(early));
    info("detect_unanswered", std::to_string(unanswered));
    info("load_after_detect", loadAverage());
    return 0;
}

} // namespace
} // namespace vellomarin::bench

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    const int count = argc > 2 ? std::atoi(argv[2]) : 0;
    if (mode == "lag" && count > 0)
        return vellomarin::bench::lag(count, argc > 3 && std::string(argv[3]) == "busy");
    if (mode == "detect" && count > 0)
        return vellomarin::bench::detect(count);
    std::fprintf(stderr, "usage: timing_bench lag SECONDS [busy] | detect TRIALS\n");
    return 2;
}
