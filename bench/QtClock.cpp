// The least a clock written with Qt 6 costs at rest: a QLabel whose text a plain
// one-second QTimer rewrites, and nothing else. bench/run.py watches it beside the real
// binary, so the idle CPU figure can be read against what Qt itself costs a second.

#include <QApplication>
#include <QLabel>
#include <QTime>
#include <QTimer>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLabel label;
    const auto showTime = [&label] {
        label.setText(QTime::currentTime().toString(QStringLiteral("H:mm:ss")));
    };
    showTime();
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, &label, showTime);
    timer.start(1000);
    label.show();
    return QApplication::exec();
}
