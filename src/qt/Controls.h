#pragma once

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class QWidget;

namespace vellomarin {

class ClockLabel;
class PhasedTimer;

// The window's controls, by the names the window gives them. The window builds this
// once; the adapter, the wiring and the descriptions for screen readers use it, so a
// renamed or missing control is found by the compiler.
struct Controls {
    QWidget* window = nullptr; // the form itself, "Vellomarin"
    ClockLabel* PANEL = nullptr;
    QLabel* YOTEI = nullptr;
    QFrame* Picture1 = nullptr; // frames PANEL
    QFrame* Picture2 = nullptr; // frames YOTEI
    QPushButton* P5 = nullptr;
    QPushButton* P10 = nullptr;
    QPushButton* Cancel = nullptr;
    QLineEdit* Hou = nullptr;
    QLineEdit* Min = nullptr;
    QLineEdit* Sec = nullptr;
    QLabel* Ji = nullptr; // the unit labels after the boxes
    QLabel* Fun = nullptr;
    QLabel* Byou = nullptr;
    QPushButton* Settei = nullptr;
    PhasedTimer* Jikoku = nullptr;
    QTimer* Alarm = nullptr;
};

} // namespace vellomarin
