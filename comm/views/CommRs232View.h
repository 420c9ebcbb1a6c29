#pragma once

#include <QWidget>

#include "comm/forms/CommRs232Model.h"
#include "platform/MessageTarget.h"
#include "resources/FormBuilder.h"

namespace tarvo {

class ResourceSet;

// The RS232 settings form (dialog 124) over its model.
class CommRs232View : public QWidget, public MessageTarget {
    Q_OBJECT
public:
    CommRs232View(const ConnectionContext& context, const ResourceSet& resources,
                  CommRs232Model::PortLister listPorts, QWidget* parent = nullptr);

    // WM_LINK_STATE ConnectionIconChanged and ConnectionIconRefresh: redraw the status icon
    // (and the port list while closed).
    intptr_t onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
    QSize FormSize() const { return form_.size; }
    CommRs232Model& Model() { return model_; }

private:
    void ShowModel();

    const ResourceSet& resources_;
    CommRs232Model model_;
    FormBuilder::Form form_;
    bool showing_ = false;
};

}  // namespace tarvo
