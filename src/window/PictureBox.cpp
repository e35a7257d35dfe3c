#include "PictureBox.h"

#include <QAccessibleWidget>

namespace vellomarin {

namespace {

// A picture box takes the focus, so a screen reader announces it: it should read what
// the label it frames reads (the time), not an empty name.
class PictureBoxAccessible : public QAccessibleWidget {
public:
    explicit PictureBoxAccessible(PictureBox* box) : QAccessibleWidget(box, QAccessible::Border) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty()) {
            const auto* box = static_cast<const PictureBox*>(widget());
            if (auto* label = box->client()->findChild<QWidget*>())
                if (QAccessibleInterface* read = QAccessible::queryAccessibleInterface(label))
                    return read->text(QAccessible::Name);
        }
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* pictureBoxAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String("vellomarin::PictureBox") && object && object->isWidgetType())
        return new PictureBoxAccessible(static_cast<PictureBox*>(object));
    return nullptr;
}

} // namespace

PictureBox::PictureBox(QWidget* parent) : QFrame(parent), client_(new QWidget(this)) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(pictureBoxAccessible);
        return true;
    }();
    (void)factoryInstalled;
    setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    // A picture box takes the focus by Tab and by click; its client never does.
    setFocusPolicy(Qt::StrongFocus);
    client_->setFocusPolicy(Qt::NoFocus);
    client_->setGeometry(contentsRect());
}

void PictureBox::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    client_->setGeometry(contentsRect());
}

} // namespace vellomarin
