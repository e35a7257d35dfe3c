#include "ClockLabel.h"

#include <QGlyphRun>
#include <QPaintEvent>
#include <QPainter>
#include <QTextLayout>
#include <QWindow>

#include <algorithm>
#include <memory>

namespace vellomarin {

namespace {

// Antialiasing and subpixel placement reach a pixel past a glyph's box; two leave room
// for rounding.
constexpr int kBleedPx = 2;

// QLabel breaks lines and expands tabs; the face holds one line and draws a tab as a glyph.
bool isOneLine(const QString& text) {
    return std::none_of(text.begin(), text.end(), [](QChar c) {
        return c == u'\n' || c == u'\r' || c == u'\t' || c == QChar::LineSeparator ||
               c == QChar::ParagraphSeparator;
    });
}

} // namespace

ClockLabel::ClockLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    // The face image covers the whole label, so Qt need not fill it first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

bool ClockLabel::canUseFace() const {
    // One image pixel to one device pixel, an opaque face, and the text as one line of
    // plain text; anything else is left to QLabel.
    return devicePixelRatioF() == 1.0 && palette().brush(backgroundRole()).isOpaque() &&
           textFormat() == Qt::PlainText && !wordWrap() && margin() == 0 && frameWidth() == 0 &&
           indent() <= 0 && (alignment() & Qt::AlignHCenter) && (alignment() & Qt::AlignVCenter) &&
           isOneLine(text());
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
        laidOut_.reset();
        break;
    default:
        break;
    }
    QLabel::changeEvent(event);
}

void ClockLabel::setTextRepaintingChanges(const QString& text) {
    // QLabel repaints its whole contents on a new text. Held back, only where glyphs
    // changed is repainted: where those of the characters that changed were, now, and
    // where the new text's glyphs differ from the face's once it is laid out, just before
    // the window repaints, after the rest of the tick (the watch) has run. A window not
    // shown draws nothing until it is, and then all of it.
    const QWindow* shown = window()->windowHandle();
    if (!canUseFace() || !shown || !shown->isExposed() || !faceValid_ || !isOneLine(text)) {
        setText(text);
        return;
    }
    QRect changed;
    if (text.size() == faceText_.size() && faceGlyphs_.size() == size_t(text.size())) {
        for (qsizetype i = 0; i < text.size(); ++i)
            if (text[i] != faceText_[i])
                changed |= faceGlyphs_[size_t(i)].ink;
    } else {
        changed = rect();
    }
    setAttribute(Qt::WA_UpdatesDisabled, true);
    setText(text);
    setAttribute(Qt::WA_UpdatesDisabled, false);
    if (changed.isEmpty())
        return;
    if (watchingRepaints_ != window()) {
        if (watchingRepaints_)
            watchingRepaints_->removeEventFilter(this);
        watchingRepaints_ = window();
        watchingRepaints_->installEventFilter(this);
    }
    layoutAwaited_ = true;
    changed &= rect();
    update(changed.isEmpty() ? rect() : changed);
}

bool ClockLabel::eventFilter(QObject* watched, QEvent* event) {
    // The window is about to repaint what is marked: what the new text changes joins it.
    if (event->type() == QEvent::UpdateRequest && layoutAwaited_) {
        layoutAwaited_ = false;
        if (text() != faceText_ || !faceValid_)
            update(layOutFace());
    }
    return QLabel::eventFilter(watched, event);
}

void ClockLabel::paintEvent(QPaintEvent* event) {
    if (!canUseFace()) {
        QPainter painter(this);
        painter.fillRect(event->rect(), palette().brush(backgroundRole()));
        painter.end();
        QLabel::paintEvent(event);
        return;
    }
    const bool laidOut = laidOut_ && laidOut_->text == text() && laidOut_->size == size();
    if (!laidOut && (!faceValid_ || face_.size() != size() || text() != faceText_)) {
        // Laid out only now: what changes beyond this paint is repainted next.
        const QRect changed = layOutFace();
        if (!event->region().contains(changed))
            update(changed);
    }
    if (laidOut_)
        drawFace();
    QPainter painter(this);
    for (const QRect& r : event->region())
        painter.drawImage(r.topLeft(), face_, r);
}

ClockLabel::Line ClockLabel::shape(const QString& text) {
    // One line, as QPainter::drawText lays it out for QLabel.
    Line line;
    line.layout = std::make_unique<QTextLayout>(text, font(), this);
    QTextLayout& layout = *line.layout;
    QTextOption option(Qt::AlignLeft);
    option.setWrapMode(QTextOption::NoWrap);
    option.setFlags(QTextOption::IncludeTrailingSpaces);
    // QLabel directs its text by the text's first strong character, whatever the
    // widget's own direction.
    option.setTextDirection(text.isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight);
    layout.setTextOption(option);
    layout.setCacheEnabled(true); // drawn after glyphRuns(), shaped once
    layout.beginLayout();
    QTextLine textLine = layout.createLine();
    if (textLine.isValid()) {
        textLine.setLineWidth(0x01000000);
        textLine.setPosition(QPointF(0, 0));
        line.advance = textLine.horizontalAdvance();
        line.ascent = textLine.ascent();
        line.descent = textLine.descent();
    }
    layout.endLayout();
    for (const QGlyphRun& run : layout.glyphRuns()) {
        const QRawFont font = run.rawFont();
        const QList<quint32> indexes = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype i = 0; i < indexes.size() && i < positions.size(); ++i)
            line.glyphs.push_back(
                {font, indexes[i], positions[i], font.boundingRect(indexes[i]), QRect()});
    }
    return line;
}

const ClockLabel::Shaped& ClockLabel::shapedAlone(QChar c) {
    const auto found = shaped_.find(c.unicode());
    if (found != shaped_.end())
        return found->second;
    Shaped s;
    // Characters that make no line right-to-left and that the bidirectional algorithm
    // leaves in place in a left-to-right one, that combine with nothing and end no line.
    static constexpr QChar::Direction kInPlace[] = {QChar::DirL,  QChar::DirEN, QChar::DirES,
                                                    QChar::DirET, QChar::DirCS, QChar::DirWS,
                                                    QChar::DirON};
    const bool inPlace =
        std::find(std::begin(kInPlace), std::end(kInPlace), c.direction()) != std::end(kInPlace);
    if (inPlace && !c.isSurrogate() && !c.isMark() && c.category() != QChar::Separator_Line &&
        c.category() != QChar::Separator_Paragraph) {
        const Line line = shape(QString(c));
        if (line.glyphs.size() == 1) {
            const Glyph& g = line.glyphs.front();
            s = {true,         g.font,      g.index,      g.position - QPointF(0, line.ascent),
                 line.advance, line.ascent, line.descent, g.bounds};
        }
    }
    return shaped_.emplace(c.unicode(), s).first->second;
}

bool ClockLabel::shapesAsNeighbours(QChar a, QChar b) {
    // Kerning and ligatures work on pairs; a pair shaped together that comes out as the
    // two shaped alone is taken to do so wherever it stands (rules over three or more
    // characters are not looked for).
    const quint32 key = (quint32(a.unicode()) << 16) | b.unicode();
    const auto found = neighbours_.constFind(key);
    if (found != neighbours_.cend())
        return *found;
    const Shaped sa = shapedAlone(a);
    const Shaped sb = shapedAlone(b);
    const Line pair = shape(QString(a) + b);
    const qreal ascent = std::max(sa.ascent, sb.ascent);
    const bool same =
        pair.glyphs.size() == 2 && pair.advance == sa.advance + sb.advance &&
        pair.ascent == ascent && pair.descent == std::max(sa.descent, sb.descent) &&
        pair.glyphs[0].sameAs({sa.font, sa.index, QPointF(0, ascent) + sa.offset, {}, {}}) &&
        pair.glyphs[1].sameAs({sb.font, sb.index, QPointF(sa.advance, ascent) + sb.offset, {}, {}});
    neighbours_.insert(key, same);
    return same;
}

bool ClockLabel::composeFromCache(const QString& text, Line& line) {
    if (font() != cacheFont_ || logicalDpiY() != cacheDpi_) {
        shaped_.clear();
        neighbours_.clear();
        cacheFont_ = font();
        cacheDpi_ = logicalDpiY();
    }
    line = Line();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const Shaped& s = shapedAlone(text[i]);
        if (!s.usable || (i > 0 && !shapesAsNeighbours(text[i - 1], text[i])))
            return false;
        line.ascent = std::max(line.ascent, s.ascent);
        line.descent = std::max(line.descent, s.descent);
    }
    line.glyphs.reserve(text.size());
    for (QChar c : text) {
        const Shaped& s = shaped_.find(c.unicode())->second;
        line.glyphs.push_back(
            {s.font, s.index, QPointF(line.advance, line.ascent) + s.offset, s.bounds, QRect()});
        line.advance += s.advance;
    }
    return true;
}

QRect ClockLabel::layOutFace() {
    const QString now = text();
    const QRect area = contentsRect();

    // Shaping the text anew every second is most of a tick's work; each character is
    // shaped once instead, and the text is composed of them where that gives the same
    // glyphs in the same places.
    Line line;
    if (!composeFromCache(now, line))
        line = shape(now);
    // Centred in the contents as QPainter::drawText centres it for QLabel.
    const QPointF origin(area.x() + (area.width() - line.advance) / 2,
                         area.y() + (area.height() - (line.ascent + line.descent)) / 2);
    std::vector<Glyph>& glyphs = line.glyphs;
    for (Glyph& g : glyphs) {
        g.position += origin;
        g.ink = g.bounds.translated(g.position)
                    .toAlignedRect()
                    .adjusted(-kBleedPx, -kBleedPx, kBleedPx, kBleedPx);
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
    laidOut_ = LaidOut{std::move(line), origin, now, size(), dirty};
    return dirty;
}

void ClockLabel::drawFace() {
    const QRect area = contentsRect();
    const LaidOut& next = *laidOut_;
    const QRect& dirty = next.dirty;
    const QPointF& origin = next.origin;
    const std::vector<Glyph>& glyphs = next.line.glyphs;
    if (face_.size() != size())
        face_ = QImage(size(), QImage::Format_RGB32);

    if (!dirty.isEmpty()) {
        QPainter painter(&face_);
        painter.fillRect(dirty, palette().brush(backgroundRole()));
        const QRect clip = dirty & area;
        painter.setClipRect(clip);
        painter.setPen(QPen(palette().brush(foregroundRole()), 1));
        if (next.line.layout) {
            next.line.layout->draw(&painter, origin);
        } else {
            // Only the glyphs that reach the clip, in the order of the line, a run per font.
            QGlyphRun run;
            QList<quint32> indexes;
            QList<QPointF> positions;
            const auto draw = [&] {
                if (indexes.isEmpty())
                    return;
                run.setGlyphIndexes(indexes);
                run.setPositions(positions);
                painter.drawGlyphRun(QPointF(0, 0), run);
                indexes.clear();
                positions.clear();
            };
            for (const Glyph& g : glyphs) {
                if (!g.ink.intersects(clip))
                    continue;
                if (!indexes.isEmpty() && !(g.font == run.rawFont()))
                    draw();
                run.setRawFont(g.font);
                indexes.push_back(g.index);
                positions.push_back(g.position);
            }
            draw();
        }
    }
    faceText_ = next.text;
    faceGlyphs_ = std::move(laidOut_->line.glyphs);
    faceValid_ = true;
    laidOut_.reset();
}

} // namespace vellomarin
