#include "PictureBox.h"

namespace vellomarin {

PictureBox::PictureBox(QWidget* parent) : QFrame(parent), client_(new QWidget(this)) {
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
