// Feeds arbitrary bytes to 設定 as the three boxes' texts (any length, invalid UTF-16,
// control characters), in either mode, at any preset level and clock time, and checks
// after every click what must always hold.

#include "fake/FakePlatform.h"

#include "core/alarm/Entry.h"
#include "core/alarm/NumberReader.h"
#include "core/alarm/Presets.h"
#include "core/clock/TimeText.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace vellomarin::test {
namespace {

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

// The minutes a quick-set caption shows, read from its full-width digits.
int captionMinutes(const QString& caption) {
    int minutes = 0;
    for (QChar c : caption) {
        if (c.unicode() < u'０' || c.unicode() > u'９')
            break;
        minutes = minutes * 10 + (c.unicode() - u'０');
    }
    return minutes;
}

QString boxText(FuzzedDataProvider& data, bool last) {
    const std::string bytes =
        last ? data.ConsumeRemainingBytesAsString() : data.ConsumeRandomLengthString(1 << 16);
    // Raw code units, so lone surrogates and every control character can appear.
    return QString(reinterpret_cast<const QChar*>(bytes.data()),
                   static_cast<qsizetype>(bytes.size() / 2));
}

} // namespace
} // namespace vellomarin::test

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    using namespace vellomarin;
    using namespace vellomarin::test;
    FuzzedDataProvider data(bytes, size);

    FakePlatform p(data.ConsumeIntegralInRange<int64_t>(0, kMsPerDay - 1));
    p.load();
    const int level = data.ConsumeIntegralInRange(0, static_cast<int>(kTopPresetLevel));
    for (int i = 0; i < level; ++i)
        StepPresets(p, p.state);
    const bool ringing = data.ConsumeBool();
    if (ringing) {
        p.setTimerEnabled(TimerId::Alarm, true);
        p.state.RingCount = data.ConsumeIntegralInRange<int16_t>(0, 18001);
    }
    if (data.ConsumeBool())
        P10_Click(p, p.state); // something already scheduled

    const QString panel = p.labelCaption(LabelId::PANEL);
    const QString yoteiBefore = p.labelCaption(LabelId::YOTEI);
    const ClockState before = p.state;
    bool accepted = false;
    for (auto [box, bound] :
         {std::pair{BoxId::Hou, 23.0}, std::pair{BoxId::Min, 59.0}, std::pair{BoxId::Sec, 59.0}}) {
        const QString text = boxText(data, box == BoxId::Sec);
        const auto number = ReadLeadingNumber(text);
        accepted |= !text.isEmpty() && number && *number >= 0.0 && *number <= bound;
        p.setBoxText(box, text);
    }

    Settei_Click(p, p.state);

    const ClockState& after = p.state;
    require(after.EntryFlag == 0, "EntryFlag is 0 between events");
    for (BoxId box : {BoxId::Hou, BoxId::Min, BoxId::Sec})
        require(p.boxText(box).isEmpty(), "every box is empty after the click");
    const QString yotei = p.labelCaption(LabelId::YOTEI);
    require(yotei.isEmpty() || ParseTimeText(yotei).has_value(), "YOTEI is empty or a time");
    if (accepted) {
        require(!yotei.isEmpty(), "an accepted box schedules");
        require(after.PresetLevel == before.PresetLevel, "a scheduling click leaves the presets");
    } else {
        require(yotei == yoteiBefore, "a click that accepts no box leaves YOTEI");
        require(after.PresetLevel == std::min<int>(before.PresetLevel + 1, kTopPresetLevel),
                "a click that accepts no box steps the presets once");
    }
    require(captionMinutes(p.buttonCaption(ButtonId::P5)) == after.P5Minutes,
            "P5's caption shows its minutes");
    require(captionMinutes(p.buttonCaption(ButtonId::P10)) == after.P10Minutes,
            "P10's caption shows its minutes");
    require(after.P5Minutes == PresetAt(after.PresetLevel).p5Minutes &&
                after.P10Minutes == PresetAt(after.PresetLevel).p10Minutes,
            "the presets' minutes match their level");
    require(p.labelCaption(LabelId::PANEL) == panel, "the clock label is untouched");
    require(after.RingCount == before.RingCount, "RingCount is untouched");
    require(p.timerEnabled(TimerId::Alarm) == ringing, "the timers are untouched");
    require(p.beepCount() == 0, "no beep");
    return 0;
}
