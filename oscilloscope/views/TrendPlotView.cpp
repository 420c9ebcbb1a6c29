#include "oscilloscope/views/TrendPlotView.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "oscilloscope/TrendPlot.h"
#include "oscilloscope/TrendRaster.h"
#include "oscilloscope/views/CurvePlotPainter.h"

namespace tarvo {

namespace {

const QColor kBackground(0x10, 0x10, 0x10);
const QColor kGrid(0x40, 0x40, 0x40);
const QColor kText(0xD0, 0xD0, 0xD0);
// Gap markers are labelled while few enough to be read.
constexpr int kMostGapLabels = 20;

}  // namespace

TrendPlotView::TrendPlotView(TrendPlot& plot, Texts texts, QWidget* parent)
    : QWidget(parent), plot_(plot), texts_(std::move(texts)) {
    setMinimumSize(320, 200);
    setMouseTracking(false);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QColor TrendPlotView::SignalColour(int signal) {
    // The oscilloscope's four channel colours first, then four more.
    static const QColor kMore[] = {
        {0xE6, 0xC8, 0x00}, {0x00, 0xC8, 0xC8}, {0xFF, 0x50, 0x50}, {0xB0, 0xB0, 0xFF}};
    if (signal < 4) {
        return CurvePlotPainter::ChannelColour(signal + 1);
    }
    return kMore[std::clamp(signal - 4, 0, 3)];
}

void TrendPlotView::LayOut() {
    plot_.SetArea({kMarginLeft, kMarginTop, std::max(width() - kMarginRight, kMarginLeft + 10),
                   std::max(height() - kMarginBottom, kMarginTop + 10)});
}

void TrendPlotView::resizeEvent(QResizeEvent* event) {
    LayOut();
    QWidget::resizeEvent(event);
}

void TrendPlotView::paintEvent(QPaintEvent*) {
    LayOut();
    if (canvas_.size() != size()) {
        canvas_ = QImage(size(), QImage::Format_RGB32);
    }
    {
        QPainter painter(&canvas_);
        painter.setFont(font());
        painter.fillRect(canvas_.rect(), kBackground);
        PaintGrid(painter);
    }
    PaintCurves();
    {
        QPainter painter(&canvas_);
        painter.setFont(font());
        PaintGaps(painter);
        PaintLegend(painter);
        PaintCursors(painter);
        if (banding_) {
            painter.setPen(QPen(Qt::white, 1, Qt::DashLine));
            const PlotRect& area = plot_.Area();
            painter.drawRect(QRect(QPoint(std::min(bandStart_, bandEnd_), area.top),
                                   QPoint(std::max(bandStart_, bandEnd_), area.bottom)));
        }
    }
    QPainter(this).drawImage(0, 0, canvas_);
}

void TrendPlotView::PaintGrid(QPainter& painter) {
    const PlotRect& area = plot_.Area();
    painter.setPen(QPen(kGrid, 1, Qt::DotLine));
    for (int division = 1; division < TrendPlot::kDivisionsY; ++division) {
        int y = area.top + (area.bottom - area.top) * division / TrendPlot::kDivisionsY;
        painter.drawLine(area.left, y, area.right, y);
    }
    QFontMetrics metrics(font());
    for (const TrendTimeLabel& label : plot_.TimeLabels()) {
        painter.setPen(QPen(kGrid, 1, Qt::DotLine));
        painter.drawLine(label.x, area.top, label.x, area.bottom);
        painter.setPen(kText);
        QString text = QString::fromStdString(label.text);
        int x = std::clamp(label.x - metrics.horizontalAdvance(text) / 2, 0,
                           std::max(width() - metrics.horizontalAdvance(text), 0));
        painter.drawText(x, area.bottom + metrics.ascent() + 4, text);
    }
    painter.setPen(QPen(kGrid, 1, Qt::SolidLine));
    painter.drawRect(QRect(QPoint(area.left, area.top), QPoint(area.right, area.bottom)));
}

void TrendPlotView::PaintCurves() {
    // The curves are set pixel by pixel: a general painter spends far longer on the tall
    // column spans of a long window.
    const PlotRect& area = plot_.Area();
    PlotRect clip{std::max(area.left, 0), std::max(area.top, 0),
                  std::min(area.right, canvas_.width() - 1),
                  std::min(area.bottom, canvas_.height() - 1)};
    TrendRaster raster(reinterpret_cast<uint32_t*>(canvas_.bits()),
                       static_cast<size_t>(canvas_.bytesPerLine()) / sizeof(uint32_t), clip);
    for (int signal = 0; signal < plot_.SignalCount(); ++signal) {
        uint32_t colour = SignalColour(signal).rgb();
        for (const auto& line : plot_.Polylines(signal)) {
            raster.Polyline(line, colour);
        }
    }
}

void TrendPlotView::PaintGaps(QPainter& painter) {
    const PlotRect& area = plot_.Area();
    painter.save();
    painter.setClipRect(QRect(QPoint(area.left, area.top), QPoint(area.right, area.bottom)));
    QFontMetrics metrics(font());
    for (int signal = 0; signal < plot_.SignalCount(); ++signal) {
        auto gaps = plot_.Gaps(signal);
        painter.setPen(QPen(SignalColour(signal), 1, Qt::DashLine));
        for (size_t i = 0; i < gaps.size(); ++i) {
            auto [x, reason] = gaps[i];
            painter.drawLine(x, area.top, x, area.bottom);
            if (gaps.size() <= kMostGapLabels) {
                const QString& text = texts_.gapReasons[static_cast<size_t>(reason)];
                painter.drawText(x + 3, area.bottom - 4 - signal * (metrics.height() + 1), text);
            }
        }
    }
    painter.restore();
}

void TrendPlotView::PaintLegend(QPainter& painter) {
    const PlotRect& area = plot_.Area();
    QFontMetrics metrics(font());
    int y = area.top + 4;
    for (int signal = 0; signal < plot_.SignalCount(); ++signal) {
        const TrendSignal& s = plot_.At(signal);
        QString unit = QString::fromStdString(s.unit);
        QString text = QString::fromStdString(s.name) + (unit.isEmpty() ? "" : " (" + unit + ")") +
                       QString("  %1/div").arg(s.scale, 0, 'g', 6);
        painter.fillRect(area.left + 6, y + 3, 10, metrics.height() - 6, SignalColour(signal));
        painter.setPen(kText);
        painter.drawText(area.left + 22, y + metrics.ascent(), text);
        y += metrics.height();
    }
}

void TrendPlotView::PaintCursors(QPainter& painter) {
    if (!plot_.CursorsShown()) {
        return;
    }
    const PlotRect& area = plot_.Area();
    painter.setPen(QPen(CursorColour(), 1));
    for (int cursor : {1, 2}) {
        int x = plot_.ColumnOfTime(*plot_.Cursor(cursor));
        if (x < area.left || x > area.right) {
            continue;
        }
        painter.drawLine(x, area.top, x, area.bottom);
        painter.drawText(x + 3, area.top + QFontMetrics(font()).ascent() + 2,
                         QString::number(cursor));
    }
}

void TrendPlotView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    int x = event->position().toPoint().x();
    if (plot_.CursorsShown()) {
        for (int cursor : {1, 2}) {
            if (std::abs(plot_.ColumnOfTime(*plot_.Cursor(cursor)) - x) <= 4) {
                draggedCursor_ = cursor;
                return;
            }
        }
    }
    banding_ = true;
    bandStart_ = bandEnd_ = x;
}

void TrendPlotView::mouseMoveEvent(QMouseEvent* event) {
    const PlotRect& area = plot_.Area();
    int x = std::clamp(event->position().toPoint().x(), area.left, area.right);
    if (draggedCursor_ != 0) {
        plot_.SetCursor(draggedCursor_, plot_.TimeAtColumn(x));
        emit viewChanged();
        update();
    } else if (banding_) {
        bandEnd_ = x;
        update();
    }
}

void TrendPlotView::mouseReleaseEvent(QMouseEvent*) {
    if (banding_) {
        banding_ = false;
        if (plot_.Zoom(bandStart_, bandEnd_)) {
            emit viewChanged();
        }
        update();
    }
    draggedCursor_ = 0;
}

void TrendPlotView::mouseDoubleClickEvent(QMouseEvent*) {
    banding_ = false;
    plot_.ResetZoom();
    emit viewChanged();
    update();
}

}  // namespace tarvo
