#include "app/views/ProjectPlace.h"

#include <QStyle>
#include <QWidget>

#include "app/SharedState.h"
#include "app/views/MainFrame.h"
#include "app/views/ViewServices.h"
#include "dictionary/PlacedWindow.h"

namespace tarvo {

namespace {

// A widget's outer frame in screen pixels, for the project's window places.
class WidgetPlace : public PlacedWindow {
public:
    explicit WidgetPlace(QWidget* widget) : widget_(widget) {}
    WindowFrame Frame() const override {
        QRect frame = widget_->frameGeometry();
        QPoint topLeft = widget_->parentWidget() != nullptr
                             ? widget_->parentWidget()->mapToGlobal(frame.topLeft())
                             : frame.topLeft();
        return {topLeft.x(), topLeft.y(), frame.width(), frame.height()};
    }
    void SetFrame(const WindowFrame& frame) override {
        widget_->setGeometry(frame.left, frame.top, frame.width, frame.height);
    }

private:
    QWidget* widget_;
};

}  // namespace

void ProjectPlace::Save(QWidget* view, const ViewServices& services, int panelNumber, int flag) {
    QWidget* frame = view->parentWidget() != nullptr ? view->parentWidget() : view;
    WidgetPlace place(frame);
    WidgetPlace main(&services.mainFrame);
    int caption = services.mainFrame.style()->pixelMetric(QStyle::PM_TitleBarHeight);
    services.state.project.SaveWindowPlace(panelNumber, place, flag, main, caption);
}

ProjectPlace::ProjectPlace(QWidget* view, MessageTarget* target, const ViewServices& services,
                           int panelNumber)
    : QObject(view), view_(view), target_(target), services_(services), panelNumber_(panelNumber) {}

intptr_t ProjectPlace::onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (message == WM_LINK_STATE && static_cast<WindowState>(wParam) == WindowState::SaveProject) {
        QWidget* frame = view_->parentWidget() != nullptr ? view_->parentWidget() : view_;
        Save(view_, services_, panelNumber_, frame->isVisible() ? 1 : 0);
    }
    return target_->onMessage(message, wParam, lParam);
}

}  // namespace tarvo
