#include "qt/Beeper.h"
#include "window/MainWindow.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

namespace {

// Qt aborts with a long message when it finds no display; say it in one line instead.
bool haveDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char* argv[]) {
    if (!haveDisplay()) {
        std::fputs("vellomarin: no display to open the window on (DISPLAY and WAYLAND_DISPLAY "
                   "are unset); start it from a desktop session\n",
                   stderr);
        return 1;
    }
    // Over X, Qt hands each repaint to the server through shared memory and then wakes
    // twice (its X reader thread, then this one) for the server's note that it is done.
    // The window is 201 x 175 pixels and is repainted once a second: copying it down
    // the socket costs less than those two wake-ups. Whoever sets the variable decides.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM"))
        qputenv("QT_XCB_NO_MITSHM", "1");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vellomarin"));
    QApplication::setDesktopFileName(QStringLiteral("vellomarin"));

    vellomarin::Beeper beeper;
    vellomarin::MainWindow window([&beeper] { beeper.beep(); });
    window.show();
    return QApplication::exec();
}
