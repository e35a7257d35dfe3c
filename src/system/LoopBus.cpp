#include "LoopBus.h"

#include <QSocketNotifier>

#include <systemd/sd-bus.h>

#include <algorithm>
#include <climits>

#include <poll.h>
#include <time.h>

namespace vellomarin {

namespace {

// sd-bus's time-outs are on this clock.
uint64_t monotonicUs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint64_t(now.tv_sec) * 1'000'000 + uint64_t(now.tv_nsec) / 1'000;
}

} // namespace

LoopBus::LoopBus(QObject* parent) : QObject(parent) {
    due_.setSingleShot(true);
    connect(&due_, &QTimer::timeout, this, &LoopBus::process);
}

LoopBus::~LoopBus() {
    closeBus();
}

bool LoopBus::open(int (*opener)(sd_bus**), uint64_t giveUpUs) {
    closeBus();
    if (opener(&bus_) < 0) {
        bus_ = nullptr;
        return false;
    }
    giveUpUs_ = giveUpUs ? monotonicUs() + giveUpUs : UINT64_MAX;
    return true;
}

void LoopBus::process() {
    if (!bus_)
        return;
    int r;
    do
        r = sd_bus_process(bus_, nullptr);
    while (r > 0 && !finished());
    const uint64_t now = monotonicUs();
    const int fd = r < 0 || finished() || now >= giveUpUs_ ? -1 : sd_bus_get_fd(bus_);
    const int events = fd < 0 ? -1 : sd_bus_get_events(bus_);
    uint64_t until = UINT64_MAX;
    if (events < 0 || sd_bus_get_timeout(bus_, &until) < 0) {
        closeBus();
        return;
    }
    if (!readable_ || readable_->socket() != fd) {
        closeNotifiers();
        readable_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        writable_ = new QSocketNotifier(fd, QSocketNotifier::Write, this);
        connect(readable_, &QSocketNotifier::activated, this, &LoopBus::process);
        connect(writable_, &QSocketNotifier::activated, this, &LoopBus::process);
    }
    readable_->setEnabled(events & POLLIN);
    writable_->setEnabled(events & POLLOUT);
    until = std::min(until, giveUpUs_);
    if (until == UINT64_MAX) {
        due_.stop();
        return;
    }
    const uint64_t waitMs = until > now ? (until - now + 999) / 1000 : 0;
    due_.start(int(std::min<uint64_t>(waitMs, INT_MAX)));
}

void LoopBus::closeNotifiers() {
    for (QSocketNotifier** notifier : {&readable_, &writable_}) {
        if (*notifier) {
            (*notifier)->setEnabled(false);
            (*notifier)->deleteLater();
            *notifier = nullptr;
        }
    }
}

void LoopBus::closeBus() {
    due_.stop();
    closeNotifiers();
    // Not flushed: nothing waits for the bus.
    bus_ = sd_bus_close_unref(bus_);
}

} // namespace vellomarin
