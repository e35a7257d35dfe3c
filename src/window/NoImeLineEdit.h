#pragma once

#include <QLineEdit>

namespace vellomarin {

// A text box that holds the input method off, so keys type their characters directly.
// Clearing Qt::WA_InputMethodEnabled alone is not enough: the input method also asks
// the widget, and QLineEdit would still answer that it takes input-method text.
class NoImeLineEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit NoImeLineEdit(QWidget* parent = nullptr);
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
};

} // namespace vellomarin
