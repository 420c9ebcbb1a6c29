#pragma once

#include <QWidget>
#include <memory>

#include "platform/MessageTarget.h"
#include "platform/qt/QtTimer.h"
#include "resources/FormBuilder.h"
#include "transfer/ImportDrvDataModel.h"
#include "transfer/views/TransferList.h"
#include "transfer/views/TransferViewContext.h"

namespace tarvo {

// The import of driver data (form 158) over its model: load a parameter file, write it into
// the drive with a read-back of every row, store the parameters, reboot the drive.
class ImportDrvDataView : public QWidget, public MessageTarget {
    Q_OBJECT
public:
    explicit ImportDrvDataView(const TransferViewContext& context, QWidget* parent = nullptr);
    ~ImportDrvDataView() override;

    intptr_t onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
    ImportDrvDataModel& Model() { return model_; }
    QSize FormSize() const { return form_.size; }
    void SetFileChooser(FileChooser chooser) { chooser_ = std::move(chooser); }

    void OpenFile();

private:
    void ShowRow(int row);
    void ShowState();

    QtTimer storeTimer_;
    QtTimer watchTimer_;
    ImportDrvDataModel model_;
    FormBuilder::Form form_;
    std::unique_ptr<TransferList> list_;
    FileChooser chooser_;
    QString folder_;
};

}  // namespace tarvo
