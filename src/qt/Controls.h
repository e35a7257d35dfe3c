#pragma once

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class QString;
class QWidget;

namespace vellomarin {

class PhasedTimer;

// A label that takes a new text by repainting only the part of it that changed.
class PartialRepaintLabel {
public:
    virtual void setTextRepaintingChanges(const QString& text) = 0;

protected:
    ~PartialRepaintLabel() = default;
};

// The window's controls, by the names the window gives them. The window builds this
// once; the adapter, the wiring and the descriptions for screen readers use it, so a
// renamed or missing control is found by the compiler.
struct Controls {
    QWidget* window = nullptr; // the form itself, "Vellomarin"
    QLabel* PANEL = nullptr;
    PartialRepaintLabel* panelText = nullptr; // PANEL's own way to a new text, if it has one
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
