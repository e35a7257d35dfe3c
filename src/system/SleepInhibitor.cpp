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

const QString kWhy = QStringLiteral(u"目覚ましが鳴っています");

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
    : QObject(parent), sessionReady_(std::make_shared<std::atomic<bool>>(false)) {
    // Qt connects to a bus on first use and keeps the caller waiting until the bus has
    // answered, so a bus that hangs would stall the ringing that first asked. The
    // connection is made here instead, and used only once made. The system bus is left
    // to LogindLock: QtDBus sets up every bus on one shared thread, so a hung system
    // bus would hold up this one and the accessibility bridge's behind it.
    connecting_ = std::thread([ready = sessionReady_] {
        QDBusConnection::sessionBus();
        ready->store(true);
    });
}

SleepInhibitor::~SleepInhibitor() {
    setHeld(false);
    // A bus that still has not answered must not hold up the program's end.
    if (sessionReady_->load())
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
        logind_.setHeld(true);
        if (sessionReady_->load())
            askPortal();
        return;
    }
    logind_.setHeld(false);
    // Closed even when its answer is still to come: the handle is known beforehand.
    if (!portalRequest_.isEmpty())
        closePortalRequest(std::exchange(portalRequest_, QString()));
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
    // An answer always comes: a reply, an error, or the call's time-out.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, hold = holds_](QDBusPendingCallWatcher* answered) {
                answered->deleteLater();
                takePortalRequest(*answered, held_ && hold == holds_);
            });
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
