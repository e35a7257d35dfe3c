#pragma once

#include <QFont>
#include <QHash>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QRawFont>
#include <QTextLayout>

#include "qt/Controls.h"

#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

namespace vellomarin {

// PANEL: a QLabel whose text is rewritten every second. QLabel lays out and draws its
// whole text on every paint; this one keeps its face in an image of its own and draws
// again only where a glyph came, went or moved (mostly the seconds). Screen readers and
// callers still see a QLabel and its text.
class ClockLabel : public QLabel, public PartialRepaintLabel {
public:
    explicit ClockLabel(QWidget* parent = nullptr);

    // setText, with only the glyphs that changed repainted and sent to the display.
    void setTextRepaintingChanges(const QString& text) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    bool canUseFace() const;
    // Lays the text out for the face and returns where the face must be drawn anew;
    // drawFace() draws it there.
    QRect layOutFace();
    void drawFace();

    struct Glyph {
        QRawFont font;
        quint32 index;
        QPointF position;
        QRectF bounds; // of its outline, from position
        QRect ink;     // where drawing it can change pixels
        bool sameAs(const Glyph& o) const {
            return index == o.index && position == o.position && font == o.font;
        }
    };

    // One line of text, with the baseline at y = ascent: as the toolkit lays it out
    // (layout set), or composed of characters shaped alone.
    struct Line {
        std::unique_ptr<QTextLayout> layout;
        std::vector<Glyph> glyphs; // ink unset
        qreal advance = 0;
        qreal ascent = 0;
        qreal descent = 0;
    };
    Line shape(const QString& text);

    // A character shaped alone, kept for as long as the font is.
    struct Shaped {
        bool usable = false; // stays in place in the line, and is one glyph
        QRawFont font;
        quint32 index = 0;
        QPointF offset; // from the pen position on the baseline
        qreal advance = 0;
        qreal ascent = 0;
        qreal descent = 0;
        QRectF bounds; // of the glyph, from its origin
    };
    const Shaped& shapedAlone(QChar c);
    bool shapesAsNeighbours(QChar a, QChar b);
    bool composeFromCache(const QString& text, Line& line);

    QImage face_;
    QString faceText_;
    std::vector<Glyph> faceGlyphs_; // as drawn on face_
    bool faceValid_ = false;

    // The text laid out and not yet drawn on the face.
    struct LaidOut {
        Line line;      // glyphs placed in the label
        QPointF origin; // where the line starts
        QString text;
        QSize size;  // of the label it was laid out for
        QRect dirty; // where the face must be drawn anew
    };
    std::optional<LaidOut> laidOut_;
    // A new text waits to be laid out when the window next repaints, which this label
    // watches for in the window it last had a text that way in.
    bool layoutAwaited_ = false;
    QPointer<QWidget> watchingRepaints_;

    // What shaping each character alone gave, and which neighbours shape as the two
    // alone do, in a left-to-right line of cacheFont_ at cacheDpi_.
    QFont cacheFont_;
    int cacheDpi_ = 0;
    std::unordered_map<char16_t, Shaped> shaped_;
    QHash<quint32, bool> neighbours_;
};

} // namespace vellomarin
