#pragma once

#include <QWidget>

#include "comm/forms/CommModeModel.h"
#include "platform/MessageTarget.h"
#include "resources/FormBuilder.h"

namespace tarvo {

class ResourceSet;

// The interface form (dialog 125) over its model.
class CommModeView : public QWidget, public MessageTarget {
    Q_OBJECT
public:
    CommModeView(const ConnectionContext& context, const ResourceSet& resources,
                 QWidget* parent = nullptr);

    intptr_t onMessage(uint32_t, uintptr_t, intptr_t) override { return 0; }
    QSize FormSize() const { return form_.size; }

signals:
    void closeRequested();

private:
    void Check(CommModeModel::Choice choice);

    CommModeModel model_;
    FormBuilder::Form form_;
};

}  // namespace tarvo
