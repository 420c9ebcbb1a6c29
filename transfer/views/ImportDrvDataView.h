#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>

#include "platform/MessageTarget.h"
#include "platform/qt/QtTimer.h"
#include "resources/FormBuilder.h"
#include "transfer/ImportDrvDataModel.h"
#include "transfer/views/CompareDrvDataDialog.h"
#include "transfer/views/TransferList.h"
#include "transfer/views/TransferViewContext.h"

class QPushButton;

namespace tarvo {

// The import of driver data (form 158) over its model: load a parameter file, write it into
// the drive with a read-back of every row, store the parameters, reboot the drive; compare
// the file with the drive and write only the rows that differ.
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
    // "Compare": reads the file's rows from the drive and lists those that differ; null when
    // nothing was started (no file, no connection: the view said why).
    CompareDrvDataDialog* Compare();

private:
    void ShowRow(int row);
    void ShowState();

    const TransferViewContext context_;
    QtTimer storeTimer_;
    QtTimer watchTimer_;
    ImportDrvDataModel model_;
    FormBuilder::Form form_;
    std::unique_ptr<TransferList> list_;
    FileChooser chooser_;
    QString folder_;
    QPushButton* compareButton_ = nullptr;
    QPointer<CompareDrvDataDialog> compare_;
};

}  // namespace tarvo
