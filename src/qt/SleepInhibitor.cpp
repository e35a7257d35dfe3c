#include "SleepInhibitor.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

#include <utility>

namespace vellomarin {

namespace {

const QString kWho = QStringLiteral("Vellomarin");
const QString kWhy = QStringLiteral(u"目覚ましが鳴っています");

// Blocks what would put the machine to sleep while it rings: a suspend asked by the
// desktop or anyone else (sleep), logind's own IdleAction (idle), and logind's lid
// handling (handle-lid-switch), which by default (LidSwitchIgnoreInhibited=yes) heeds
// no sleep lock: a laptop woken for the alarm with its lid shut would otherwise be put
// back to sleep once logind's holdoff after the wake-up has passed. A suspend or power
// key is the user's own wish, and is left to act.
const QString kLogindWhat = QStringLiteral("sleep:idle:handle-lid-switch");

constexpr uint kPortalSuspend = 4;
constexpr uint kPortalIdle = 8;

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");

void closePortalRequest(const QString& handle) {
    // Its answer says nothing worth waiting for: send and forget.
    QDBusConnection::sessionBus().send(QDBusMessage::createMethodCall(
        kPortalService, handle, QStringLiteral("org.freedesktop.portal.Request"),
        QStringLiteral("Close")));
}

} // namespace

SleepInhibitor::SleepInhibitor(QObject* parent)
    : QObject(parent), busesReady_(std::make_shared<std::atomic<bool>>(false)) {
    // Qt connects to a bus on first use and keeps the caller waiting until the bus has
    // answered, so a bus that hangs would stall the ringing that first asked. The
    // connections are made here instead, and used only once made.
    connecting_ = std::thread([ready = busesReady_] {
        QDBusConnection::systemBus();
        QDBusConnection::sessionBus();
        ready->store(true);
    });
}

SleepInhibitor::~SleepInhibitor() {
    setHeld(false);
    // A bus that still has not answered must not hold up the program's end.
    if (busesReady_->load())
        connecting_.join();
    else
        connecting_.detach();
}

void SleepInhibitor::setHeld(bool held) {
    if (held == held_)
        return;
    held_ = held;
    if (held) {
        ++holds_;
        if (busesReady_->load()) {
            askLogind();
            askPortal();
        }
        return;
    }
    logindLock_ = QDBusUnixFileDescriptor(); // closes it
    // Closed even when its answer is still to come: the handle is known beforehand.
    if (!portalRequest_.isEmpty())
        closePortalRequest(std::exchange(portalRequest_, QString()));
}

void SleepInhibitor::watch(const QDBusPendingCall& call,
                           void (SleepInhibitor::*take)(const QDBusPendingCall&, bool)) {
    // An answer always comes: a reply, an error, or the call's time-out.
    auto* watcher = new QDBusPendingCallWatcher(call, this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, take, hold = holds_](QDBusPendingCallWatcher* answered) {
                // The answer (and a descriptor it carries) goes with the watcher.
                answered->deleteLater();
                (this->*take)(*answered, held_ && hold == holds_);
            });
}

void SleepInhibitor::askLogind() {
    const QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    call << kLogindWhat << kWho << kWhy << QStringLiteral("block");
    watch(bus.asyncCall(call), &SleepInhibitor::takeLogindLock);
}

void SleepInhibitor::askPortal() {
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        kPortalService, QStringLiteral("/org/freedesktop/portal/desktop"),
        QStringLiteral("org.freedesktop.portal.Inhibit"), QStringLiteral("Inhibit"));
    // The handle is named beforehand (handle_token), so that a hold that ends before
    // the answer comes can still close it.
    const QString token = QStringLiteral("vellomarin%1").arg(holds_);
    portalRequest_ = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
                         .arg(bus.baseService().mid(1).replace(u'.', u'_'), token);
    // No window: the program's one window is not for the portal to know.
    call << QString() << kPortalSuspend + kPortalIdle
         << QVariantMap{{QStringLiteral("handle_token"), token}, {QStringLiteral("reason"), kWhy}};
    watch(bus.asyncCall(call), &SleepInhibitor::takePortalRequest);
}

void SleepInhibitor::takeLogindLock(const QDBusPendingCall& answer, bool current) {
    const QDBusPendingReply<QDBusUnixFileDescriptor> reply = answer;
    // Otherwise the descriptor closes with the answer.
    if (current && reply.isValid() && reply.value().isValid())
        logindLock_ = reply.value();
}

void SleepInhibitor::takePortalRequest(const QDBusPendingCall& answer, bool current) {
    const QDBusPendingReply<QDBusObjectPath> reply = answer;
    if (!reply.isValid())
        return;
    // As named beforehand, unless the portal is older than handle_token.
    const QString handle = reply.value().path();
    if (current)
        portalRequest_ = handle;
    else // closed already when named beforehand; once more does no harm
        closePortalRequest(handle);
}

} // namespace vellomarin
