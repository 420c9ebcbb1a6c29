#pragma once

#include <QWidget>
#include <memory>

#include "platform/MessageTarget.h"
#include "platform/qt/QtTimer.h"
#include "resources/FormBuilder.h"
#include "transfer/ExportDrvDataModel.h"
#include "transfer/views/TransferList.h"
#include "transfer/views/TransferViewContext.h"

namespace tarvo {

// The export of driver data (form 155) over its model: open an object list, read the
// values from the drive, save the parameter file.
class ExportDrvDataView : public QWidget, public MessageTarget {
    Q_OBJECT
public:
    explicit ExportDrvDataView(const TransferViewContext& context, QWidget* parent = nullptr);
    ~ExportDrvDataView() override;

    intptr_t onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
    ExportDrvDataModel& Model() { return model_; }
    QSize FormSize() const { return form_.size; }
    // Tests choose files without a dialog.
    void SetFileChooser(FileChooser chooser) { chooser_ = std::move(chooser); }

    void OpenFile();
    void Save();

private:
    void ShowRow(int row);
    void ShowState();

    QtTimer watchTimer_;
    ExportDrvDataModel model_;
    FormBuilder::Form form_;
    std::unique_ptr<TransferList> list_;
    FileChooser chooser_;
    QString folder_;
};

}  // namespace tarvo
