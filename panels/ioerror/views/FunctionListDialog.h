#pragma once

#include <QDialog>
#include <functional>

#include "panels/ioerror/FunctionListModel.h"
#include "resources/FormBuilder.h"

class QTreeWidget;

namespace tarvo {

class MessageBox;
class ResourceSet;

// The function chooser of the I/O port panel (dialog 122, "List"): a modeless dialog that
// lists the functions of inputs or of outputs with check boxes and sends the ticked bits to
// the panel on OK. Created hidden with the panel and kept as long as it lives.
class FunctionListDialog : public QDialog {
    Q_OBJECT
public:
    struct Services {
        const ResourceSet& resources;
        MessageBox& messageBox;
        std::function<bool()> connected;
        int pixelsPerInch = 96;
    };

    FunctionListDialog(const Services& services, QWidget* parent = nullptr);

    void Fill(const IoFunctionNames& names, IoFunctionNames::Kind kind);
    void SetTarget(MessageTarget* target, uint32_t key, uint32_t bits);
    // Ticks the rows from the target's bits (none while the connection is closed).
    void ShowTicks();

    const FunctionListModel& Model() const { return model_; }
    QTreeWidget* List() const { return list_; }
    void SetTicked(int row, bool ticked);
    // OK and Cancel as their buttons do.
    void Accept();

protected:
    void showEvent(QShowEvent* event) override;

private:
    Services services_;
    FunctionListModel model_;
    FormBuilder::Form form_;
    QTreeWidget* list_ = nullptr;
};

}  // namespace tarvo
