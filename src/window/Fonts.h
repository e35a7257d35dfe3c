#pragma once

#include <QFont>

namespace vellomarin {

// The window's proportional Mincho face at `points` (12, 14.25 or 20.25). "ＭＳ Ｐ明朝"
// where the desktop has it, else a proportional Japanese Mincho: naming the face alone
// lets fontconfig substitute a Gothic one.
QFont MinchoFont(qreal points);

} // namespace vellomarin
