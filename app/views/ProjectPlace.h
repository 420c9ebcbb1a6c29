#pragma once

#include <QObject>

#include "app/views/ViewServices.h"
#include "platform/MessageTarget.h"

class QWidget;

namespace tarvo {

// The window place of a view in the project being saved: where its frame stands and
// whether it is open, under the view's panel number.
class ProjectPlace : public QObject, public MessageTarget {
    Q_OBJECT
public:
    // Stores the place of the view's frame (its parent widget).
    static void Save(QWidget* view, const ViewServices& services, int panelNumber, int flag);

    // Stands in front of a view that keeps no place of its own: on WM_LINK_STATE SaveProject
    // it stores the view's place (open while its frame is shown); every message goes on to
    // the view. Owned by the view.
    ProjectPlace(QWidget* view, MessageTarget* target, const ViewServices& services,
                 int panelNumber);

    intptr_t onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

private:
    QWidget* view_;
    MessageTarget* target_;
    ViewServices services_;
    int panelNumber_;
};

}  // namespace tarvo
