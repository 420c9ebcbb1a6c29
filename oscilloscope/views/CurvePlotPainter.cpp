#include "oscilloscope/views/CurvePlotPainter.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPolygon>

#include "oscilloscope/CurvePlot.h"

namespace tarvo {

namespace {

const QColor kGrid(0x96, 0x8C, 0x8C);
const QColor kCentre(0x76, 0x76, 0x76);
const QColor kFrame(0x36, 0x36, 0x36);

void DrawLabel(QPainter& painter, const QRect& box, const QString& text, Qt::Alignment align) {
    QString shown = painter.fontMetrics().elidedText(text, Qt::ElideRight, box.width());
    painter.drawText(box, static_cast<int>(align | Qt::AlignVCenter), shown);
}

}  // namespace

QColor CurvePlotPainter::ChannelColour(int channel) {
    switch (channel) {
        case 1:
            return {0xBE, 0x00, 0x81};
        case 2:
            return {0x22, 0xAC, 0x38};
        case 3:
            return {0xEB, 0x61, 0x00};
        default:
            return {0x00, 0x86, 0xD1};
    }
}

namespace {

constexpr int kLegendLine = 16;

void PaintBackground(const CurvePlot& plot, QPainter& painter) {
    const PlotRect& area = plot.Area();
    const int x0 = plot.X0();
    const int y0 = plot.Y0();
    const int w = plot.InnerWidth();
    const int h = plot.InnerHeight();
    const int stepX = plot.StepX();
    const int stepY = plot.StepY();
    painter.fillRect(QRect(QPoint(area.left, area.top), QPoint(area.right, area.bottom)),
                     Qt::white);

    painter.setPen(QPen(kFrame, 2, Qt::SolidLine));
    painter.drawPolyline(QPolygon({QPoint(x0, y0), QPoint(x0, y0 - h), QPoint(x0 + w, y0 - h),
                                   QPoint(x0 + w, y0), QPoint(x0, y0)}));

    painter.setPen(QPen(kGrid, 1, Qt::DotLine));
    for (int i = 1; i <= CurvePlot::kDivisionsX; ++i) {
        int x = x0 + i * stepX;
        painter.drawLine(x, y0 - 2, x, y0 - h);
        painter.drawLine(x, y0 + 2, x, y0 + 4);
    }
    for (int j = 1; j <= CurvePlot::kDivisionsY; ++j) {
        int y = y0 - j * stepY - 1;
        painter.drawLine(x0 + 1, y, x0 + w - 2, y);
    }

    painter.setPen(QPen(kCentre, 1, Qt::SolidLine));
    painter.drawLine(x0 + 1, y0 - h / 2 - 1, x0 + w, y0 - h / 2 - 1);
    painter.drawLine(x0 + w / 2 - 1, y0 + 1, x0 + w / 2 - 1, y0 - h);
}

void PaintCurvesAndLabels(const CurvePlot& plot, QPainter& painter) {
    const int x0 = plot.X0();
    const int y0 = plot.Y0();
    const int h = plot.InnerHeight();
    const int stepX = plot.StepX();
    const int stepY = plot.StepY();
    for (int channel = 1; channel <= CurvePlot::kChannels; ++channel) {
        painter.setPen(QPen(CurvePlotPainter::ChannelColour(channel), 1, Qt::SolidLine));
        for (const auto& line : plot.Polylines(channel)) {
            QPolygon polygon(static_cast<int>(line.size()));
            for (size_t i = 0; i < line.size(); ++i) {
                polygon.setPoint(static_cast<int>(i), line[i].x, line[i].y);
            }
            painter.drawPolyline(polygon);
        }
    }

    QFont font = painter.font();
    font.setPointSize(9);
    painter.setFont(font);
    const int centre = y0 - h / 2 - 1;
    for (int channel = 1; channel <= CurvePlot::kChannels; ++channel) {
        const CurvePlot::Channel& curve = plot.At(channel);
        if (!curve.visible || curve.points.empty()) {
            continue;
        }
        painter.setPen(CurvePlotPainter::ChannelColour(channel));
        bool left = channel <= 2;
        int from = left ? x0 + 2 : x0 + 8 * stepX;
        int to = left ? x0 + 2 * stepX : x0 + 10 * stepX - 2;
        Qt::Alignment align = left ? Qt::AlignLeft : Qt::AlignRight;
        int upperLine = centre - 3 * stepY;
        int lowerLine = centre + 3 * stepY;
        bool above = channel == 1 || channel == 3;
        auto box = [&](int line) {
            return above ? QRect(QPoint(from, line - 15), QPoint(to, line))
                         : QRect(QPoint(from, line + 2), QPoint(to, line + stepY));
        };
        DrawLabel(painter, box(upperLine), QString::fromStdString(plot.UpperLabel(channel)), align);
        DrawLabel(painter, box(lowerLine), QString::fromStdString(plot.LowerLabel(channel)), align);
    }

    std::vector<std::string> times = plot.TimeLabels();
    painter.setPen(Qt::black);
    for (size_t i = 0; i < times.size(); ++i) {
        int line = 1 + 2 * static_cast<int>(i);
        QRect box(QPoint(x0 + line * stepX - stepX / 2, y0 - 18),
                  QPoint(x0 + line * stepX + stepX / 2, y0 - 5));
        DrawLabel(painter, box, QString::fromStdString(times[i]), Qt::AlignHCenter);
    }
    if (!times.empty()) {
        QRect box(QPoint(x0 + 29 * stepX / 3, y0 - 18), QPoint(x0 + 10 * stepX, y0 - 5));
        DrawLabel(painter, box, QStringLiteral("(ms)"), Qt::AlignLeft);
    }
}

}  // namespace

void CurvePlotPainter::RenderBackground(const CurvePlot& plot, QImage& image) {
    QPainter painter(&image);
    PaintBackground(plot, painter);
}

void CurvePlotPainter::Render(const CurvePlot& plot, QImage& image, const QImage* background) {
    if (background != nullptr && background->size() == image.size()) {
        image = *background;
    } else {
        RenderBackground(plot, image);
    }
    QPainter painter(&image);
    PaintCurvesAndLabels(plot, painter);
}

QSize CurvePlotPainter::PictureSize(const CurvePlot& plot, size_t legendLines) {
    const PlotRect& area = plot.Area();
    return {area.right - area.left,
            area.bottom - area.top + static_cast<int>(legendLines) * kLegendLine + 4};
}

void CurvePlotPainter::PaintPicture(const CurvePlot& plot, QPainter& painter,
                                    const std::vector<LegendLine>& legend) {
    QSize size = PictureSize(plot, legend.size());
    painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    painter.save();
    painter.translate(-plot.Area().left, -plot.Area().top);
    PaintBackground(plot, painter);
    PaintCurvesAndLabels(plot, painter);
    // The cursors as the view shows them, solid rather than drawn over.
    painter.setPen(QPen(CursorColour().darker(130), 1));
    for (int cursor = 1; cursor <= plot.CursorCount(); ++cursor) {
        int x = CurvePlot::CursorColumn(plot.CursorPosition(cursor));
        painter.drawLine(x, plot.Y0(), x, plot.Y0() - plot.InnerHeight() - 1);
    }
    painter.restore();
    QFont font = painter.font();
    font.setPointSize(9);
    painter.setFont(font);
    int y = plot.Area().bottom - plot.Area().top + 2;
    for (const LegendLine& line : legend) {
        painter.setPen(ChannelColour(line.channel));
        painter.drawText(QRect(plot.X0(), y, size.width() - plot.X0(), kLegendLine),
                         Qt::AlignLeft | Qt::AlignVCenter, line.text);
        y += kLegendLine;
    }
}

}  // namespace tarvo
