#pragma once

#include <QObject>
#include <QTimer>

#include <cstdint>

class QSocketNotifier;
struct sd_bus;

namespace vellomarin {

// A bus connection of its own (sd-bus) that the event loop drives, for the locks that
// keep the machine awake: QtDBus sets up every bus on one shared thread, where a bus that
// never answers would hold up the others and the accessibility bridge behind them. Here
// nothing waits for the bus: the connect is non-blocking, and the authentication, the
// bus's Hello and what is asked meanwhile go out as the event loop finds the socket
// ready. The connection closes with closeBus(), once finished() says so, at the time
// given to open(), or when the bus drops it.
class LoopBus : public QObject {
protected:
    explicit LoopBus(QObject* parent);
    ~LoopBus() override;
    LoopBus(const LoopBus&) = delete;
    LoopBus& operator=(const LoopBus&) = delete;

    // sd_bus_open_system or sd_bus_open_user; `giveUpUs` from now (0: never) it closes,
    // finished or not. False where it cannot even begin.
    bool open(int (*opener)(sd_bus**), uint64_t giveUpUs);
    // Runs the connection until it has nothing left to do now, then waits for its
    // socket or its next time-out. Callbacks that sd-bus runs from inside it must not
    // close the connection: they make finished() true instead.
    void process();
    virtual bool finished() const = 0;
    void closeBus();

    sd_bus* bus_ = nullptr;

private:
    void closeNotifiers();

    uint64_t giveUpUs_ = 0;               // CLOCK_MONOTONIC; UINT64_MAX for never
    QSocketNotifier* readable_ = nullptr; // children, as they may end in their own signal
    QSocketNotifier* writable_ = nullptr;
    QTimer due_; // sd-bus's next time-out, or giveUpUs_ if sooner
};

} // namespace vellomarin
