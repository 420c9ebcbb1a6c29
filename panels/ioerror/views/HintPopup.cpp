#include "panels/ioerror/views/HintPopup.h"

#include <qdrawutil.h>
#include <QEnterEvent>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

#include "panels/ioerror/HintPlacement.h"

namespace tarvo {

HintPopup::HintPopup(QWidget* owner) : QWidget(owner) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    hide();
    if (owner != nullptr) {
        SetOwner(owner);
    }
}

void HintPopup::SetOwner(QWidget* owner) {
    if (owner_) {
        owner_->removeEventFilter(this);
    }
    owner_ = owner;
    setParent(owner);
    hide();
    if (owner != nullptr) {
        // A hint never outlives the pointer over its window: leaving, hiding or switching
        // away from the window takes it down.
        owner->installEventFilter(this);
    }
}

QRect HintPopup::ControlRect(QWidget* control) const {
    return QRect(control->mapTo(owner_, QPoint(0, 0)), control->size());
}

void HintPopup::AddHint(QWidget* control, const QStringList& lines, const QColor& background,
                        const QColor& text) {
    if (control == nullptr || lines.isEmpty()) {
        return;
    }
    if (!hints_.contains(control)) {
        control->installEventFilter(this);
        connect(control, &QObject::destroyed, this,
                [this](QObject* gone) { hints_.remove(static_cast<QWidget*>(gone)); });
    }
    hints_.insert(control, {lines, background, text});
    if (showing_ == control) {
        Show(control);
    }
}

void HintPopup::RemoveHint(QWidget* control) {
    if (showing_ == control) {
        Erase();
    }
    if (hints_.remove(control) != 0 && control != nullptr) {
        control->removeEventFilter(this);
        disconnect(control, &QObject::destroyed, this, nullptr);
    }
}

void HintPopup::TrackMouse(const QPoint& point) {
    if (!owner_) {
        return;
    }
    QWidget* under = nullptr;
    for (auto it = hints_.constBegin(); it != hints_.constEnd(); ++it) {
        if (it.key()->isVisible() && ControlRect(it.key()).contains(point)) {
            under = it.key();
            break;
        }
    }
    if (under == showing_) {
        return;
    }
    Erase();
    if (under != nullptr) {
        Show(under);
    }
}

void HintPopup::Show(QWidget* control) {
    const Hint& hint = hints_[control];
    std::vector<std::string> lines;
    for (const QString& line : hint.lines) {
        lines.push_back(line.toStdString());
    }
    QRect rect = ControlRect(control);
    HintPlacement::Box box = HintPlacement::Place(
        owner_->width(), owner_->height(), {rect.left(), rect.top(), rect.width(), rect.height()},
        lines, chinese_);
    fontHeight_ = box.fontHeight;
    showing_ = control;
    // The sizes assume the narrow "MS Sans Serif"; a wider substitute font widens the box
    // rather than cutting the names off.
    QFontMetrics metrics(HintFont());
    int width = box.rect.width;
    for (const QString& line : hint.lines) {
        width = std::max(width, metrics.horizontalAdvance(line) + 10);
    }
    setGeometry(box.rect.left, box.rect.top, width, box.rect.height);
    raise();
    show();
    update();
}

QFont HintPopup::HintFont() const {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(fontHeight_);
    font.setWeight(QFont::Normal);
    return font;
}

void HintPopup::Erase() {
    showing_ = nullptr;
    hide();
}

bool HintPopup::eventFilter(QObject* watched, QEvent* event) {
    if (watched == owner_ && showing_) {
        QEvent::Type type = event->type();
        if (type == QEvent::Leave || type == QEvent::Hide || type == QEvent::WindowDeactivate) {
            Erase();
        }
    }
    auto* control = qobject_cast<QWidget*>(watched);
    if (control != nullptr && owner_ && hints_.contains(control)) {
        if (event->type() == QEvent::Enter) {
            auto* enter = static_cast<QEnterEvent*>(event);
            TrackMouse(control->mapTo(owner_, enter->position().toPoint()));
        } else if (event->type() == QEvent::Leave || event->type() == QEvent::Hide) {
            if (showing_ == control) {
                Erase();
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void HintPopup::paintEvent(QPaintEvent*) {
    if (!showing_ || !hints_.contains(showing_)) {
        return;
    }
    const Hint& hint = hints_[showing_];
    QPainter painter(this);
    painter.fillRect(rect(), hint.background);
    QPalette palette = this->palette();
    qDrawWinPanel(&painter, rect(), palette, false);
    painter.setFont(HintFont());
    painter.setPen(hint.text);
    painter.setBackgroundMode(Qt::TransparentMode);
    const int lineHeight = fontHeight_ == 14 ? 13 : 11;
    for (int i = 0; i < hint.lines.size(); ++i) {
        QRect line(5, 6 + i * lineHeight, width() - 10, lineHeight + 2);
        painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip, hint.lines[i]);
    }
}

}  // namespace tarvo
