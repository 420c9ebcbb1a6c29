#pragma once

#include <QMdiArea>
#include <QPixmap>

namespace tarvo {

// The main window's client area: paints the background picture stretched over the whole
// area and repaints completely when resized.
class MdiBackground : public QMdiArea {
    Q_OBJECT
public:
    explicit MdiBackground(QPixmap picture, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QPixmap picture_;
    QPixmap scaled_;
};

}  // namespace tarvo
