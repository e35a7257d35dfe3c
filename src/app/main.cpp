#include "app/SessionDisplays.h"
#include "qt/Beeper.h"
#include "qt/KernelCalls.h"
#include "qt/SleepInhibitor.h"
#include "qt/WakeTimer.h"
#include "wake/WakeCapability.h"
#include "wake/WakeHelper.h"
#include "window/MainWindow.h"

#include <QApplication>

#include <memory>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <system_error>
#include <vector>

#include <sys/stat.h>

namespace {

bool isSocket(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}

// While the application connects to the display, Qt's messages wait here: when no
// display answers, Qt ends with a fatal message (and an abort, a core dump and advice
// to reinstall), which becomes one line naming the display and status 1. Otherwise
// the messages go on to Qt's own handler as they came.
struct HeldMessage {
    QtMsgType type;
    const char* file; // Qt's contexts point at static strings
    int line;
    const char* function;
    const char* category;
    QString text;
};
std::vector<HeldMessage>* heldMessages;

void holdMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type != QtFatalMsg) {
        heldMessages->push_back(
            {type, context.file, context.line, context.function, context.category, text});
        return;
    }
    std::string where;
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        if (const char* value = std::getenv(name); value && *value)
            where += (where.empty() ? "" : " or ") + std::string(name) + "=" + value;
    }
    if (where.empty())
        where = "QT_QPA_PLATFORM=" + qEnvironmentVariable("QT_QPA_PLATFORM").toStdString();
    std::fprintf(stderr, "vellomarin: cannot open the window: no display answers at %s\n",
                 where.c_str());
    std::_Exit(1);
}

} // namespace

int main(int argc, char* argv[]) {
    // The starter of the helper that wakes the machine keeps an ambient CAP_WAKE_ALARM
    // for it on a thread of its own; then the window drops every capability, before Qt
    // starts any thread (each thread has sets of its own).
    vellomarin::WakeHelperStarter wakeHelperStarter;
    if (!vellomarin::DropEveryCapability())
        std::fputs("vellomarin: cannot drop the capabilities it was started with\n", stderr);

    // Whoever sets QT_QPA_PLATFORM decides (offscreen, vnc, wayland on a scaled
    // screen). Otherwise name the session's displays to Qt, X first: Qt would try
    // Wayland first whenever it sees one, and where none of its guesses opens it
    // aborts with a page of text instead of this one line.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        const std::string platforms = vellomarin::QtPlatformsForSession(
            [](const char* name) { return std::getenv(name); }, isSocket);
        if (platforms.empty()) {
            std::fputs("vellomarin: no display to open the window on (DISPLAY and WAYLAND_DISPLAY "
                       "are unset); start it from a desktop session\n",
                       stderr);
            return 1;
        }
        qputenv("QT_QPA_PLATFORM", platforms.c_str());
    }
    // Over X, Qt hands each repaint to the server through shared memory and then wakes
    // twice (its X reader thread, then this one) for the server's note that it is done.
    // The window is 201 x 175 pixels and is repainted once a second: copying it down
    // the socket costs less than those two wake-ups. Whoever sets the variable decides.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM"))
        qputenv("QT_XCB_NO_MITSHM", "1");

    // The program takes no arguments, so none reach Qt either (-platform, -stylesheet,
    // -reverse...): only the name, which X uses for the window's class. QApplication
    // keeps a reference to the count, so both live as long as it does. An empty argv
    // (argc 0) would leave no name to hand on.
    static char fallbackName[] = "vellomarin";
    int qtArgc = 1;
    char* qtArgv[] = {argc > 0 && argv[0] && *argv[0] ? argv[0] : fallbackName, nullptr};
    std::vector<HeldMessage> held;
    heldMessages = &held;
    const QtMessageHandler qtHandler = qInstallMessageHandler(holdMessage);
    QApplication app(qtArgc, qtArgv);
    qInstallMessageHandler(qtHandler);
    for (const HeldMessage& m : held)
        qtHandler(m.type, QMessageLogContext(m.file, m.line, m.function, m.category), m.text);
    QApplication::setApplicationName(QStringLiteral("Vellomarin"));
    QApplication::setDesktopFileName(QStringLiteral("vellomarin"));

    vellomarin::Beeper beeper;
    // Where the helper may wake the machine, a sleeping one is woken in time for the
    // alarm; and a minimised window's clock, which rests, is woken for it.
    vellomarin::WakeTimer wakeTimer(&wakeHelperStarter);
    // While it rings, the machine is kept from sleeping; until then its power settings
    // are the user's.
    vellomarin::SleepInhibitor awake;
    // X has a bell of its own; Qt's other platforms (Wayland) make no sound without the
    // sound server, and then the window shows the ringing instead.
    const bool platformHasBell = QGuiApplication::platformName() == QLatin1String("xcb");
    std::unique_ptr<vellomarin::MainWindow> window;
    try {
        window = std::make_unique<vellomarin::MainWindow>(
            [&beeper] { beeper.beep(); },
            [&beeper, platformHasBell] { return platformHasBell || beeper.soundServerAnswers(); },
            [&awake](bool ringing) { awake.setHeld(ringing); });
    } catch (const std::system_error& e) {
        // The clock's wall-clock timer: its flags need Linux 2.6.27, and its cancel on a
        // clock change 3.0.
        vellomarin::ReportRefusedTimer(e);
        return 1;
    }
    window->useWakeTimer(wakeTimer);
    window->show();
    return QApplication::exec();
}
