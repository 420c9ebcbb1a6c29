#include "app/views/MdiBackground.h"

#include <QPainter>
#include <QResizeEvent>

namespace tarvo {

MdiBackground::MdiBackground(QPixmap picture, QWidget* parent)
    : QMdiArea(parent), picture_(std::move(picture)) {
    setBackground(Qt::NoBrush);
}

void MdiBackground::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    if (scaled_.size() != viewport()->size() && !picture_.isNull()) {
        scaled_ =
            picture_.scaled(viewport()->size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    if (scaled_.isNull()) {
        painter.fillRect(viewport()->rect(), palette().dark());
    } else {
        painter.drawPixmap(0, 0, scaled_);
    }
    painter.end();
    QMdiArea::paintEvent(event);
}

void MdiBackground::resizeEvent(QResizeEvent* event) {
    QMdiArea::resizeEvent(event);
    viewport()->update();
}

}  // namespace tarvo
