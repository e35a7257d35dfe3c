#pragma once

#include "core/Platform.h"
#include "core/clock/ClockState.h"
#include "qt/Controls.h"

#include <QWidget>

#include <functional>
#include <memory>

namespace vellomarin {

// The one window, "Vellomarin": its sixteen controls, and the wiring of their
// events to the handlers. It decides nothing itself; each slot calls one handler.
class MainWindow : public QWidget {
    Q_OBJECT
public:
    // `beep` plays one alert sound and returns at once. `heard` tells whether a beep
    // can make any sound now; where none can, the window shows the ringing instead.
    explicit MainWindow(std::function<void()> beep, std::function<bool()> heard = {},
                        QWidget* parent = nullptr);
    ~MainWindow() override;

    const ClockState& state() const { return state_; }

    // Design size of the client area, in pixels at 96 dpi.
    static constexpr QSize kClientSize{201, 175};

private:
    Controls createControls();
    void wireEvents(const Controls& controls);
    void centreOnScreen();

    ClockState state_;
    std::unique_ptr<Platform> platform_;
};

} // namespace vellomarin
