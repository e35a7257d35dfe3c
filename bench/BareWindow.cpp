// The least a Qt 6 window costs in memory here: one QLabel with a time in it, no
// timers, no sound. bench/run.py watches it beside the real binary, so the memory
// figure can be read against what Qt alone brings.

#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLabel label(QStringLiteral("9:05:03"));
    label.show();
    return QApplication::exec();
}
