#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <vector>

class QPainter;

namespace tarvo {

class CurvePlot;

// Draws a CurvePlot's frame, grid, centre cross, curves, value labels and time labels into
// an image. Cursors and the zoom band are drawn over the image by the plot view.
class CurvePlotPainter {
public:
    static QColor ChannelColour(int channel);
    static QColor CursorColour() { return QColor(0xFF, 0xAA, 0xFF); }

    // Renders the whole plot into `image`, which must have the area's size. `background`,
    // when given, is the frame, grid and centre cross already drawn (RenderBackground).
    static void Render(const CurvePlot& plot, QImage& image, const QImage* background = nullptr);
    // The parts that change only with the area's size.
    static void RenderBackground(const CurvePlot& plot, QImage& image);

    // One line of a picture's legend, in its channel's colour.
    struct LegendLine {
        int channel = 0;
        QString text;
    };
    // The plot as a picture for other programs: the plot with its value and time labels and
    // the cursors, then the legend below it. Its size is PictureSize's.
    static void PaintPicture(const CurvePlot& plot, QPainter& painter,
                             const std::vector<LegendLine>& legend);
    static QSize PictureSize(const CurvePlot& plot, size_t legendLines);
};

}  // namespace tarvo
