#include "Fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace vellomarin {

namespace {

// The first of the faces wanted that the desktop has, alone: a family that is not
// installed makes Qt ask fontconfig for its substitutes, once per script. With none
// of them installed, all are named and fontconfig chooses.
QStringList minchoFamilies() {
    static const QStringList families = [] {
        const QStringList wanted{QStringLiteral(u"ＭＳ Ｐ明朝"), QStringLiteral("MS PMincho"),
                                 QStringLiteral("IPAPMincho"), QStringLiteral("IPAexMincho"),
                                 QStringLiteral("IPAMincho")};
        const QStringList installed = QFontDatabase::families();
        for (const QString& family : wanted)
            if (installed.contains(family, Qt::CaseInsensitive))
                return QStringList{family};
        return wanted;
    }();
    return families;
}

} // namespace

QFont MinchoFont(qreal points) {
    QFont font;
    font.setFamilies(minchoFamilies());
    font.setStyleHint(QFont::Serif);
    font.setPointSizeF(points);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

} // namespace vellomarin
