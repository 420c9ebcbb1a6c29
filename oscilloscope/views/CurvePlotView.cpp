#include "oscilloscope/views/CurvePlotView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <cmath>

#include "oscilloscope/CurvePlot.h"
#include "oscilloscope/views/CurvePlotPainter.h"

namespace tarvo {

namespace {
constexpr int kRepaintMs = 40;
// One notch of a mouse wheel (120 eighths of a degree) shows this share of the records.
constexpr int kNotch = 120;
constexpr double kNotchFactor = 0.8;
}  // namespace

CurvePlotView::CurvePlotView(CurvePlot& plot, QWidget* parent) : QWidget(parent), plot_(plot) {
    throttle_.setSingleShot(true);
    throttle_.setInterval(kRepaintMs);
    connect(&throttle_, &QTimer::timeout, this, [this] {
        if (curvesDirty_) {
            Render();
        }
        update();
    });
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
    setFocusPolicy(Qt::WheelFocus);
}

void CurvePlotView::CurvesChanged() {
    curvesDirty_ = true;
    Schedule();
}

void CurvePlotView::OverlayChanged() {
    Schedule();
}

void CurvePlotView::Schedule() {
    if (!throttle_.isActive()) {
        throttle_.start();
    }
}

void CurvePlotView::Flush() {
    if (curvesDirty_) {
        Render();
    }
    update();
}

void CurvePlotView::Render() {
    plot_.SetArea({0, 0, width(), height()});
    if (image_.size() != size()) {
        image_ = QImage(size(), QImage::Format_RGB32);
    }
    if (background_.size() != size()) {
        background_ = QImage(size(), QImage::Format_RGB32);
        if (!background_.isNull()) {
            CurvePlotPainter::RenderBackground(plot_, background_);
        }
    }
    if (!image_.isNull()) {
        CurvePlotPainter::Render(plot_, image_, &background_);
    }
    curvesDirty_ = false;
    ++renderCount_;
}

void CurvePlotView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    plot_.SetArea({0, 0, width(), height()});
    CurvesChanged();
    if (areaChanged) {
        areaChanged();
    }
}

void CurvePlotView::paintEvent(QPaintEvent* /*event*/) {
    if (curvesDirty_ && image_.size() != size()) {
        Render();
    }
    QPainter painter(this);
    painter.drawImage(0, 0, image_);
    painter.setPen(QPen(CurvePlotPainter::CursorColour(), 1));
    for (int cursor = 1; cursor <= plot_.CursorCount(); ++cursor) {
        int x = CurvePlot::CursorColumn(plot_.CursorPosition(cursor));
        painter.drawLine(x, plot_.Y0(), x, plot_.Y0() - plot_.InnerHeight() - 1);
    }
    if (dragging_ || haveSelection_) {
        painter.setPen(QPen(Qt::red, 1, Qt::DashLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRect(anchor_, corner_).normalized());
    }
}

QRect CurvePlotView::MouseRect() const {
    return QRect(QPoint(10, 4), QPoint(width() - 12, height() - 2));
}

void CurvePlotView::mousePressEvent(QMouseEvent* event) {
    QPoint at = event->position().toPoint();
    if (!MouseRect().contains(at)) {
        return;
    }
    if (event->button() == Qt::LeftButton) {
        dragging_ = true;
        haveSelection_ = false;
        anchor_ = corner_ = at;
        OverlayChanged();
    } else if (event->button() == Qt::RightButton) {
        if (haveSelection_ && zoomRequested) {
            zoomRequested(anchor_.x(), corner_.x());
        }
        haveSelection_ = false;
        OverlayChanged();
    }
}

void CurvePlotView::mouseMoveEvent(QMouseEvent* event) {
    QPoint at = event->position().toPoint();
    if (dragging_ && MouseRect().contains(at)) {
        corner_ = at;
        OverlayChanged();
    }
}

void CurvePlotView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && dragging_) {
        dragging_ = false;
        haveSelection_ = anchor_ != corner_;
        OverlayChanged();
    }
}

void CurvePlotView::wheelEvent(QWheelEvent* event) {
    wheelAngle_ += event->angleDelta().y();
    int notches = wheelAngle_ / kNotch;
    if (notches == 0) {
        event->accept();
        return;
    }
    wheelAngle_ -= notches * kNotch;
    // Turning away from the user zooms in, as in every plotting tool.
    if (wheelZoomed) {
        wheelZoomed(static_cast<int>(event->position().x()), std::pow(kNotchFactor, notches));
    }
    event->accept();
}

void CurvePlotView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && fullRecordRequested) {
        haveSelection_ = false;
        fullRecordRequested();
        OverlayChanged();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace tarvo
