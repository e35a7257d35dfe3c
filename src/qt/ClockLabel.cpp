#include "ClockLabel.h"

#include <QAccessibleWidget>
#include <QFontMetricsF>
#include <QPainter>
#include <QStyle>

#include <algorithm>

namespace vellomarin {

namespace {

// Antialiasing reaches a pixel past a glyph's box; two leave room for rounding.
constexpr int kBleedPx = 2;

// A character whose place in the line is the sum of the advances before it, and that no
// shaping changes: one that is never reordered, joined or kerned in a left-to-right line,
// as the clock's digits and kanji are in the Mincho faces (ClockLabelTest holds them to
// QLabel's pixels). A text with any other is laid out by the toolkit and repainted whole.
bool placedByAdvance(QChar c) {
    return (c >= u'0' && c <= u'9') || c.script() == QChar::Script_Han;
}

class ClockLabelAccessible : public QAccessibleWidget {
public:
    explicit ClockLabelAccessible(ClockLabel* label)
        : QAccessibleWidget(label, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return static_cast<const ClockLabel*>(widget())->text();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* clockLabelAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String("vellomarin::ClockLabel") && object && object->isWidgetType())
        return new ClockLabelAccessible(static_cast<ClockLabel*>(object));
    return nullptr;
}

} // namespace

ClockLabel::ClockLabel(QWidget* parent) : QWidget(parent) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(clockLabelAccessible);
        return true;
    }();
    (void)factoryInstalled;
}

void ClockLabel::setText(const QString& text) {
    if (text == text_)
        return;
    update(changedRect(text));
    text_ = text;
    if (accessibleName().isEmpty()) {
        QAccessibleEvent event(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
}

QRect ClockLabel::changedRect(const QString& next) const {
    if (next.size() != text_.size())
        return rect();
    const QFontMetricsF metrics(font(), this);
    if (advancesFor_ != std::pair(font(), logicalDpiY())) {
        advances_.clear();
        advancesFor_ = {font(), logicalDpiY()};
    }
    const auto advanceOf = [&](QChar c) {
        auto known = advances_.constFind(c.unicode());
        if (known == advances_.cend())
            known = advances_.insert(c.unicode(), metrics.horizontalAdvance(c));
        return *known;
    };
    qreal pen = 0; // from the start of the line
    QRectF ink;    // of the characters that change, from the start of the line's baseline
    for (qsizetype i = 0; i < next.size(); ++i) {
        const QChar was = text_[i];
        const QChar is = next[i];
        if (!placedByAdvance(was) || !placedByAdvance(is))
            return rect();
        const qreal advance = advanceOf(is);
        if (was != is) {
            if (advanceOf(was) != advance)
                return rect(); // the rest of the line moves
            ink |= (metrics.boundingRect(was) | metrics.boundingRect(is)).translated(pen, 0);
        }
        pen += advance;
    }
    // Centred in the contents, as QPainter::drawText centres one line.
    const QRectF area = contentsRect();
    const QPointF origin(area.x() + (area.width() - pen) / 2,
                         area.y() + (area.height() - metrics.height()) / 2 + metrics.ascent());
    return ink.translated(origin).toAlignedRect().adjusted(-kBleedPx, -kBleedPx, kBleedPx,
                                                           kBleedPx);
}

void ClockLabel::paintEvent(QPaintEvent*) {
    // QLabel's own call for plain text, so the same pixels; Qt clips it to what is marked.
    QPainter painter(this);
    if (std::all_of(text_.begin(), text_.end(), placedByAdvance)) {
        // Shaping would change none of them; skipped, it no longer costs a sixth of an idle
        // second's instructions.
        QFont font = painter.font();
        font.setStyleStrategy(QFont::StyleStrategy(font.styleStrategy() | QFont::PreferNoShaping));
        painter.setFont(font);
    }
    const int direction =
        text_.isRightToLeft() ? Qt::TextForceRightToLeft : Qt::TextForceLeftToRight;
    style()->drawItemText(&painter, contentsRect(), Qt::AlignCenter | direction, palette(),
                          isEnabled(), text_, foregroundRole());
}

} // namespace vellomarin
