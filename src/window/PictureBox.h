#pragma once

#include <QFrame>

namespace vellomarin {

// A bordered box that frames one child. Children go on client(), the area inside the
// sunken border, so a child placed at (0, 0) with the box's outer size runs under the
// right and bottom border and is clipped there.
class PictureBox : public QFrame {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent = nullptr);
    QWidget* client() const { return client_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QWidget* client_;
};

} // namespace vellomarin
