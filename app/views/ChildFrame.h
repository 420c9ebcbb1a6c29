#pragma once

#include <QMdiSubWindow>

#include "platform/MessageTarget.h"

namespace tarvo {

// The frame of one view inside the main window: fixed size, caption with system menu and
// minimize box. Closing hides it (the view lives on) after telling the view with
// WM_LINK_STATE Hidden; the interface form's frame is really closed.
class ChildFrame : public QMdiSubWindow {
    Q_OBJECT
public:
    enum class ClosePolicy { kHideAndTell, kHideSilently, kDestroy };

    ChildFrame(QWidget* view, MessageTarget* viewTarget, ClosePolicy policy,
               QWidget* parent = nullptr);

    MessageTarget* ViewTarget() const { return viewTarget_; }
    void SetFixedFrameSize(const QSize& size);

signals:
    void destroyedByClose(ChildFrame* frame);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    MessageTarget* viewTarget_;
    ClosePolicy policy_;
};

}  // namespace tarvo
