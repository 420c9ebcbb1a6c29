#pragma once

#include <QColor>
#include <QHash>
#include <QPointer>
#include <QStringList>
#include <QWidget>

namespace tarvo {

// A hint box drawn over its owner, keyed by control: the hint of the control under the mouse
// shows below it (above it near the owner's bottom edge) and goes when the mouse leaves the
// control. At most one hint shows at a time. Used by the I/O port panel and the oscilloscope.
class HintPopup : public QWidget {
    Q_OBJECT
public:
    explicit HintPopup(QWidget* owner = nullptr);

    // The window the box is drawn on; its controls are looked up in it.
    void SetOwner(QWidget* owner);
    // Boxes are sized for Chinese text (12 pixels a character) or English (6).
    void SetChinese(bool chinese) { chinese_ = chinese; }
    // Stores the control's lines; an empty list stores nothing.
    void AddHint(QWidget* control, const QStringList& lines, const QColor& background,
                 const QColor& text);
    // Erases the control's hint when it is showing and forgets it.
    void RemoveHint(QWidget* control);
    // Shows the hint of the control under `point` (owner coordinates), erasing another.
    void TrackMouse(const QPoint& point);

    QWidget* ShowingControl() const { return showing_; }
    QStringList Lines(QWidget* control) const { return hints_.value(control).lines; }
    int FontHeight() const { return fontHeight_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    struct Hint {
        QStringList lines;
        QColor background;
        QColor text;
    };

    void Show(QWidget* control);
    void Erase();
    QRect ControlRect(QWidget* control) const;
    QFont HintFont() const;

    QPointer<QWidget> owner_;
    QHash<QWidget*, Hint> hints_;
    QPointer<QWidget> showing_;
    int fontHeight_ = 14;
    bool chinese_ = false;
};

}  // namespace tarvo
