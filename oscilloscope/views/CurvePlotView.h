#pragma once

#include <QImage>
#include <QPoint>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace tarvo {

class CurvePlot;

// The plot's widget: the curves are rendered into an off-screen image at most every 40 ms
// when they change; cursors and the zoom band are drawn over that image, so moving them
// never redraws the curves.
class CurvePlotView : public QWidget {
    Q_OBJECT

public:
    CurvePlotView(CurvePlot& plot, QWidget* parent);

    // The curves, scales or labels changed: render them again (throttled).
    void CurvesChanged();
    // Only the cursors moved.
    void OverlayChanged();

    // Called with the anchor's and the corner's x on a right click over a selection.
    std::function<void(int anchorX, int cornerX)> zoomRequested;
    // The wheel turned over column x: below 1 the time axis shows less, above 1 more.
    std::function<void(int x, double factor)> wheelZoomed;
    // Esc over the plot: back to the full record.
    std::function<void()> fullRecordRequested;
    // The plot's size changed.
    std::function<void()> areaChanged;

    int RenderCount() const { return renderCount_; }
    // Renders at once if a render is due (for pictures and tests).
    void Flush();
    const QImage& Image() const { return image_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Schedule();
    void Render();
    QRect MouseRect() const;

    CurvePlot& plot_;
    QImage image_;
    QImage background_;  // frame and grid, redrawn only on resize
    QTimer throttle_;
    bool curvesDirty_ = true;
    int renderCount_ = 0;
    bool dragging_ = false;
    bool haveSelection_ = false;
    QPoint anchor_;
    QPoint corner_;
    int wheelAngle_ = 0;  // turned but not yet a whole step (touchpads send small steps)
};

}  // namespace tarvo
