#include "NoImeLineEdit.h"

#include <limits>

namespace vellomarin {

NoImeLineEdit::NoImeLineEdit(QWidget* parent) : QLineEdit(parent) {
    setAttribute(Qt::WA_InputMethodEnabled, false);
    // The box has no length limit of its own; whatever is typed is the entry's to judge.
    setMaxLength(std::numeric_limits<int>::max());
}

QVariant NoImeLineEdit::inputMethodQuery(Qt::InputMethodQuery query) const {
    if (query == Qt::ImEnabled)
        return false;
    return QLineEdit::inputMethodQuery(query);
}

} // namespace vellomarin
