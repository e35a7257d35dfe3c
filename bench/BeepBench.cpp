// What the beeps cost the event thread: the real window rings with the real Beeper,
// and each of the two beep calls of an Alarm tick is timed where the window makes it.
//
//   beep_bench TICKS
//
// With a sound server it then times libcanberra's own play, called directly, for
// comparison: that is what each beep cost the event thread when it called it itself.
//
// Whether the sound server or the X bell answers depends on the environment that
// bench/run.py gives (a private PulseAudio, or none).

#include "Common.h"

#include "system/Beeper.h"
#include "window/MainWindow.h"

#include <QApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <canberra.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace vellomarin::bench {
namespace {

constexpr int64_t kNsPerSecond = 1'000'000'000;

// libcanberra's play called directly, two to a tick, 100 ms apart, on a context of our
// own: what the sound thread pays for each pair, and what the event thread would pay
// if it called libcanberra itself.
void directPlays(int ticks) {
    ca_context* context = nullptr;
    if (ca_context_create(&context) != CA_SUCCESS || ca_context_open(context) != CA_SUCCESS) {
        info("direct_error", "no libcanberra context");
        return;
    }
    uint32_t id = 1;
    for (int tick = 0; tick < ticks; ++tick) {
        const int64_t start = monotonicNs();
        for (int beep = 0; beep < 2; ++beep) {
            ca_context_play(context, id, CA_PROP_EVENT_ID, "bell", CA_PROP_EVENT_DESCRIPTION,
                            "Alarm", CA_PROP_CANBERRA_CACHE_CONTROL, "permanent", nullptr);
            id = 3 - id;
        }
        sample("direct_tick", static_cast<double>(monotonicNs() - start) / 1e6);
        QEventLoop pause;
        QTimer::singleShot(100, Qt::PreciseTimer, &pause, &QEventLoop::quit);
        pause.exec();
    }
    ca_context_destroy(context);
}

int run(int ticks) {
    int argc = 1;
    char name[] = "beep_bench";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);

    // What constructing the Beeper costs the thread that does it (start-up).
    const int64_t openStart = monotonicNs();
    Beeper beeper([] { QApplication::beep(); });
    const int64_t openEnd = monotonicNs();
    sample("beeper_open", static_cast<double>(openEnd - openStart) / 1e6);

    std::vector<int64_t> calls; // duration of each beep call, in ns
    calls.reserve(static_cast<size_t>(ticks) * 2 + 8);
    QEventLoop done;
    MainWindow window([&] {
        const int64_t start = monotonicNs();
        beeper.beep();
        calls.push_back(monotonicNs() - start);
        if (calls.size() >= static_cast<size_t>(ticks) * 2)
            done.quit();
    });
    window.show();

    // Ring by the window's own path: the boxes and Settei, two seconds ahead.
    const int64_t due = (realtimeNs() / kNsPerSecond + 2) * kNsPerSecond;
    const time_t dueSeconds = static_cast<time_t>(due / kNsPerSecond);
    tm local{};
    localtime_r(&dueSeconds, &local);
    window.findChild<QLineEdit*>(QStringLiteral("Hou"))->setText(QString::number(local.tm_hour));
    window.findChild<QLineEdit*>(QStringLiteral("Min"))->setText(QString::number(local.tm_min));
    window.findChild<QLineEdit*>(QStringLiteral("Sec"))->setText(QString::number(local.tm_sec));
    window.findChild<QPushButton*>(QStringLiteral("Settei"))->click();

    QTimer::singleShot(3000 + ticks * 200, &done, &QEventLoop::quit);
    done.exec();
    window.findChild<QPushButton*>(QStringLiteral("Cancel"))->click();

    if (calls.size() < 2) {
        info("error", "the alarm did not ring");
        return 1;
    }
    // The two calls of one tick follow each other with nothing in between.
    for (size_t i = 0; i + 1 < calls.size(); i += 2) {
        const double ms = static_cast<double>(calls[i] + calls[i + 1]) / 1e6;
        sample(i == 0 ? "tick_first" : "tick", ms);
    }
    info("calls", std::to_string(calls.size()));
    // Long after the try at start-up, and with the ringing's own tries behind it.
    const bool theme = beeper.soundServerAnswers();
    info("backend", theme ? "sound-theme" : "x-bell");
    if (theme)
        directPlays(ticks);
    return 0;
}

} // namespace
} // namespace vellomarin::bench

int main(int argc, char** argv) {
    const int ticks = argc > 1 ? std::atoi(argv[1]) : 0;
    if (ticks <= 0) {
        std::fprintf(stderr, "usage: beep_bench TICKS\n");
        return 2;
    }
    return vellomarin::bench::run(ticks);
}
