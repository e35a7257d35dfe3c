#pragma once

#include <QImage>
#include <QLabel>
#include <QRawFont>

#include <vector>

namespace vellomarin {

// PANEL: a QLabel whose text is rewritten every second. QLabel lays out and draws its
// whole text on every paint; this one keeps its face in an image of its own and draws
// again only where a glyph came, went or moved (mostly the seconds). Screen readers and
// callers still see a QLabel and its text.
class ClockLabel : public QLabel {
public:
    explicit ClockLabel(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    bool canUseFace() const;
    void updateFace();

    struct Glyph {
        QRawFont font;
        quint32 index;
        QPointF position;
        QRect ink; // where drawing it can change pixels
        bool sameAs(const Glyph& o) const {
            return index == o.index && position == o.position && font == o.font;
        }
    };

    QImage face_;
    QString faceText_;
    std::vector<Glyph> faceGlyphs_; // as drawn on face_
    bool faceValid_ = false;
};

} // namespace vellomarin
