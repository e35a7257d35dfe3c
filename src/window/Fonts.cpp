#include "Fonts.h"

#include <QStringList>

namespace vellomarin {

QFont MinchoFont(qreal points) {
    QFont font;
    font.setFamilies({QStringLiteral(u"ＭＳ Ｐ明朝"), QStringLiteral("MS PMincho"),
                      QStringLiteral("IPAPMincho"), QStringLiteral("IPAexMincho"),
                      QStringLiteral("IPAMincho")});
    font.setStyleHint(QFont::Serif);
    font.setPointSizeF(points);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

QFont DefaultFontUnhinted() {
    QFont font;
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

} // namespace vellomarin
