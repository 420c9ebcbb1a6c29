#include "app/views/ChildFrame.h"

#include <QCloseEvent>
#include <QToolTip>

namespace tarvo {

ChildFrame::ChildFrame(QWidget* view, MessageTarget* viewTarget, ClosePolicy policy,
                       QWidget* parent)
    : QMdiSubWindow(parent), viewTarget_(viewTarget), policy_(policy) {
    setWidget(view);
    setWindowFlags(Qt::SubWindow | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose, policy == ClosePolicy::kDestroy);
}

void ChildFrame::SetFixedFrameSize(const QSize& size) {
    setFixedSize(size);
}

void ChildFrame::closeEvent(QCloseEvent* event) {
    QToolTip::hideText();  // a tip of one of its controls must not stay behind
    if (policy_ == ClosePolicy::kDestroy) {
        emit destroyedByClose(this);
        QMdiSubWindow::closeEvent(event);
        return;
    }
    event->ignore();
    hide();
    if (policy_ == ClosePolicy::kHideAndTell && viewTarget_ != nullptr) {
        viewTarget_->onMessage(WM_LINK_STATE, ToWParam(WindowState::Hidden), 0);
    }
}

}  // namespace tarvo
