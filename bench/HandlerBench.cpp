// The handlers' own cost, on the fake platform: no window, no event loop, only the
// work a tick or a click does.

#include "fake/FakePlatform.h"

#include "core/alarm/Entry.h"
#include "core/alarm/Watch.h"
#include "core/clock/ClockHandlers.h"
#include "core/clock/TimeText.h"

#include <benchmark/benchmark.h>

namespace vellomarin::test {
namespace {

constexpr qsizetype kMegabyte = 1 << 20;

// Box texts a person types, or a megabyte pasted into each box: leading zeros and
// blanks make the reader walk all of it before it finds an accepted number.
struct Boxes {
    QString hou, min, sec;
};

Boxes typical() {
    return {QStringLiteral("7"), QStringLiteral("30"), QStringLiteral("0")};
}

Boxes megabyte() {
    const auto padded = [](QChar pad, const QString& tail) {
        return QString(kMegabyte - tail.size(), pad) + tail;
    };
    return {padded(u'0', QStringLiteral("7")), padded(u' ', QStringLiteral("30")),
            padded(u'0', QStringLiteral("0.5"))};
}

void fill(FakePlatform& p, const Boxes& b) {
    p.setBoxText(BoxId::Hou, b.hou);
    p.setBoxText(BoxId::Min, b.min);
    p.setBoxText(BoxId::Sec, b.sec);
}

// A loaded window at 9:05:03 with an alarm set for later: the watch looks and waits.
FakePlatform& watching(FakePlatform& p, const Boxes& b) {
    p.load();
    p.showTime(9, 5, 3);
    p.setLabelCaption(LabelId::YOTEI, FormatTimeText(10, 0, 0));
    fill(p, b);
    return p;
}

template <Boxes (*Texts)()> void BM_Check_Timer(benchmark::State& state) {
    FakePlatform p(At(9, 5, 3, 500));
    watching(p, Texts());
    for (auto _ : state) {
        Check_Timer(p, p.state);
        benchmark::ClobberMemory();
    }
    if (p.timerEnabled(TimerId::Alarm))
        state.SkipWithError("the watch rang");
}

template <Boxes (*Texts)()> void BM_Jikoku_Timer(benchmark::State& state) {
    FakePlatform p(At(9, 5, 3, 500));
    watching(p, Texts());
    for (auto _ : state) {
        Jikoku_Timer(p, p.state);
        benchmark::ClobberMemory();
    }
}

template <Boxes (*Texts)()> void BM_Settei_Click(benchmark::State& state) {
    FakePlatform p(At(9, 5, 3, 500));
    const Boxes b = Texts();
    watching(p, b);
    for (auto _ : state) {
        // Settei empties the boxes; putting the texts back only shares them.
        fill(p, b);
        Settei_Click(p, p.state);
        benchmark::ClobberMemory();
    }
    if (p.labelCaption(LabelId::YOTEI) != FormatTimeText(7, 30, 0))
        state.SkipWithError("Settei did not schedule 7:30:00");
}

BENCHMARK(BM_Check_Timer<typical>)->Name("Check_Timer/typical");
BENCHMARK(BM_Check_Timer<megabyte>)->Name("Check_Timer/1MB_boxes");
BENCHMARK(BM_Jikoku_Timer<typical>)->Name("Jikoku_Timer/typical");
BENCHMARK(BM_Jikoku_Timer<megabyte>)->Name("Jikoku_Timer/1MB_boxes");
BENCHMARK(BM_Settei_Click<typical>)->Name("Settei_Click/typical");
BENCHMARK(BM_Settei_Click<megabyte>)->Name("Settei_Click/1MB_boxes")->Unit(benchmark::kMillisecond);

} // namespace
} // namespace vellomarin::test

BENCHMARK_MAIN();
