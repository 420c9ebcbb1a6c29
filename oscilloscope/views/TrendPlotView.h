#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>
#include <array>
#include <functional>

namespace tarvo {

class TrendPlot;

// Draws a TrendPlot: grid, time labels, the signals' curves with their gaps marked, a
// legend and the two cursors. Dragging draws a zoom band; a cursor is dragged by its line;
// a double click shows the whole window again.
class TrendPlotView : public QWidget {
    Q_OBJECT
public:
    // The texts the plot shows: the gap reasons in TrendGapReason order.
    struct Texts {
        std::array<QString, 4> gapReasons;
    };

    TrendPlotView(TrendPlot& plot, Texts texts, QWidget* parent = nullptr);

    static QColor SignalColour(int signal);
    static QColor CursorColour() { return QColor(0xFF, 0xAA, 0xFF); }

    // Sets the plot's area from the widget's size; the view calls it before drawing.
    void LayOut();

signals:
    // A zoom, a reset or a cursor move changed what the readouts show.
    void viewChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    static constexpr int kMarginLeft = 8;
    static constexpr int kMarginRight = 8;
    static constexpr int kMarginTop = 8;
    static constexpr int kMarginBottom = 22;

    void PaintGrid(QPainter& painter);
    void PaintCurves();
    void PaintGaps(QPainter& painter);
    void PaintLegend(QPainter& painter);
    void PaintCursors(QPainter& painter);

    TrendPlot& plot_;
    Texts texts_;
    // Everything is drawn here first and then shown in one copy; kept between redraws.
    QImage canvas_;
    int draggedCursor_ = 0;  // 1 or 2 while a cursor follows the mouse
    bool banding_ = false;
    int bandStart_ = 0;
    int bandEnd_ = 0;
};

}  // namespace tarvo
