#include "ClockLabel.h"

#include <QGlyphRun>
#include <QPaintEvent>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>

namespace vellomarin {

namespace {

// Antialiasing and subpixel placement reach a pixel past a glyph's box; two leave room
// for rounding.
constexpr int kBleedPx = 2;

} // namespace

ClockLabel::ClockLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    // The face image covers the whole label, so Qt need not fill it first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

bool ClockLabel::canUseFace() const {
    // One image pixel to one device pixel, an opaque face, and the text as plain text;
    // anything else is left to QLabel.
    return devicePixelRatioF() == 1.0 && palette().brush(backgroundRole()).isOpaque() &&
           textFormat() == Qt::PlainText && !wordWrap() && margin() == 0 && frameWidth() == 0 &&
           indent() <= 0 && (alignment() & Qt::AlignHCenter) && (alignment() & Qt::AlignVCenter);
}

void ClockLabel::changeEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::PaletteChange:
    case QEvent::StyleChange:
    case QEvent::EnabledChange:
    case QEvent::ActivationChange:
    case QEvent::LayoutDirectionChange:
        faceValid_ = false;
        break;
    default:
        break;
    }
    QLabel::changeEvent(event);
}

void ClockLabel::paintEvent(QPaintEvent* event) {
    if (!canUseFace()) {
        QPainter painter(this);
        painter.fillRect(event->rect(), palette().brush(backgroundRole()));
        painter.end();
        QLabel::paintEvent(event);
        return;
    }
    if (!faceValid_ || face_.size() != size() || text() != faceText_)
        updateFace();
    QPainter painter(this);
    for (const QRect& r : event->region())
        painter.drawImage(r.topLeft(), face_, r);
}

void ClockLabel::updateFace() {
    const QString now = text();
    const QRect area = contentsRect();

    // One line, centred in the contents as QPainter::drawText centres it for QLabel.
    QTextLayout layout(now, font(), this);
    QTextOption option(Qt::AlignLeft);
    option.setWrapMode(QTextOption::NoWrap);
    option.setFlags(QTextOption::IncludeTrailingSpaces);
    option.setTextDirection(layoutDirection());
    layout.setTextOption(option);
    layout.setCacheEnabled(true); // drawn after glyphRuns(), shaped once
    layout.beginLayout();
    QTextLine line = layout.createLine();
    qreal advance = 0;
    qreal lineHeight = 0;
    if (line.isValid()) {
        line.setLineWidth(0x01000000);
        line.setPosition(QPointF(0, 0));
        advance = line.horizontalAdvance();
        lineHeight = line.ascent() + line.descent();
    }
    layout.endLayout();
    const QPointF origin(area.x() + (area.width() - advance) / 2,
                         area.y() + (area.height() - lineHeight) / 2);

    std::vector<Glyph> glyphs;
    for (const QGlyphRun& run : layout.glyphRuns()) {
        const QRawFont font = run.rawFont();
        const QList<quint32> indexes = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype i = 0; i < indexes.size() && i < positions.size(); ++i) {
            const QPointF at = origin + positions[i];
            const QRect ink = font.boundingRect(indexes[i]).translated(at).toAlignedRect();
            glyphs.push_back(
                {font, indexes[i], at, ink.adjusted(-kBleedPx, -kBleedPx, kBleedPx, kBleedPx)});
        }
    }

    // Drawn again: where a glyph of the old face or of the new one is not in the other.
    QRect dirty = rect();
    if (faceValid_ && face_.size() == size()) {
        dirty = QRect();
        const auto changes = [&dirty](const std::vector<Glyph>& from,
                                      const std::vector<Glyph>& in) {
            for (const Glyph& g : from)
                if (std::none_of(in.begin(), in.end(),
                                 [&g](const Glyph& o) { return g.sameAs(o); }))
                    dirty |= g.ink;
        };
        changes(faceGlyphs_, glyphs);
        changes(glyphs, faceGlyphs_);
        dirty &= rect();
    }
    if (face_.size() != size())
        face_ = QImage(size(), QImage::Format_RGB32);

    if (!dirty.isEmpty()) {
        QPainter painter(&face_);
        painter.fillRect(dirty, palette().brush(backgroundRole()));
        painter.setClipRect(dirty & area);
        painter.setPen(QPen(palette().brush(foregroundRole()), 1));
        layout.draw(&painter, origin);
    }
    faceText_ = now;
    faceGlyphs_ = std::move(glyphs);
    faceValid_ = true;
}

} // namespace vellomarin
