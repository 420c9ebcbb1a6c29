#pragma once

#include <QWidget>

#include "comm/forms/CommCanModel.h"
#include "platform/MessageTarget.h"
#include "resources/FormBuilder.h"

namespace tarvo {

class ResourceSet;

// The CAN settings form (dialog 123) over its model.
class CommCanView : public QWidget, public MessageTarget {
    Q_OBJECT
public:
    CommCanView(const ConnectionContext& context, const ResourceSet& resources,
                QWidget* parent = nullptr);

    intptr_t onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
    QSize FormSize() const { return form_.size; }

private:
    void ShowModel();

    const ResourceSet& resources_;
    CommCanModel model_;
    FormBuilder::Form form_;
};

}  // namespace tarvo
