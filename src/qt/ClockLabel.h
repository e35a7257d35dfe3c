#pragma once

#include <QFont>
#include <QHash>
#include <QWidget>

#include <utility>

namespace vellomarin {

// PANEL: one line of text, centred and drawn exactly as QLabel draws it, rewritten every
// second. QLabel marks its whole contents for repainting on each new text, and Qt then
// sends the whole label to the display (21 KB a second); this marks only the rectangle
// of the characters that changed, and Qt sends only that. Screen readers read it as a
// label, by its text.
class ClockLabel : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)
public:
    explicit ClockLabel(QWidget* parent = nullptr);

    QString text() const { return text_; }
    void setText(const QString& text);

protected:
    // Lays the text out anew from text() each time, so what is drawn is never older
    // than the text.
    void paintEvent(QPaintEvent* event) override;

private:
    QRect changedRect(const QString& next) const;

    QString text_;
    // Each character's advance, asked of the font once per font and resolution: asked
    // every second, it was a twentieth of an idle second's instructions.
    mutable std::pair<QFont, int> advancesFor_;
    mutable QHash<char16_t, qreal> advances_;
};

} // namespace vellomarin
