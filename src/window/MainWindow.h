#pragma once

#include "core/Platform.h"
#include "core/clock/ClockState.h"
#include "qt/Controls.h"

#include <QWidget>

#include <functional>
#include <memory>

namespace vellomarin {

class PhasedTimer;
class QtPlatform;
class WakeTimer;

// The one window, "Vellomarin": its sixteen controls, and the wiring of their
// events to the handlers. It decides nothing itself; each slot calls one handler, save
// that a minimised window's clock rests (changeEvent) and is brought up to the second
// before a click.
class MainWindow : public QWidget {
    Q_OBJECT
public:
    // `beep` plays one alert sound and returns at once. `heard` tells whether a beep
    // can make any sound now; where none can, the window shows the ringing instead.
    // `ringing` is told true when a ringing starts and false when it ends, either way.
    explicit MainWindow(std::function<void()> beep, std::function<bool()> heard = {},
                        std::function<void(bool)> ringing = {}, QWidget* parent = nullptr);
    ~MainWindow() override;

    const ClockState& state() const { return state_; }

    // The timer that wakes the machine for the alarm in YOTEI, and ticks the clock while
    // it rests: without one, the clock ticks even while the window is minimised.
    void useWakeTimer(WakeTimer& timer);

    // Design size of the client area, in pixels at 96 dpi.
    static constexpr QSize kClientSize{201, 175};

protected:
    void changeEvent(QEvent* event) override;

private:
    Controls createControls();
    void wireEvents(const Controls& controls);
    void centreOnScreen();

    ClockState state_;
    std::unique_ptr<QtPlatform> platform_;
    PhasedTimer* jikoku_ = nullptr;
    WakeTimer* wakeTimer_ = nullptr;
};

} // namespace vellomarin
