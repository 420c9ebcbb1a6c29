#pragma once

#include <QDialog>
#include <functional>

#include "app/InitSaveModel.h"
#include "app/views/DialogRelay.h"
#include "platform/MessageTarget.h"
#include "platform/qt/QtTimer.h"
#include "resources/FormBuilder.h"

class QLabel;

namespace tarvo {

class ResourceSet;

// "Initialize/Save" (dialog 157): the modal window over InitSaveModel. It is the link's
// exclusive window while open and gives the switches back however it closes.
class InitSaveDialog : public QDialog, public MessageTarget {
    Q_OBJECT
public:
    struct Services {
        LinkRequester& link;
        LinkSwitches& switches;
        MessageBox& messageBox;
        MessageTarget* mainFrame;
        // When set, the link answers the relay, which outlives the dialog; else the dialog.
        DialogRelay* relay = nullptr;
    };

    InitSaveDialog(const Services& services, const ResourceSet& resources,
                   QWidget* parent = nullptr);
    ~InitSaveDialog() override;

    intptr_t onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
    InitSaveModel& Model() { return model_; }
    // Asks a yes/no question; the program shows a message box, tests answer at once.
    using Confirm = std::function<bool(const QString& question)>;
    void SetConfirm(Confirm confirm) { confirm_ = std::move(confirm); }
    // What the last command came to, as the dialog says it.
    QString OutcomeText() const;

protected:
    void done(int result) override;

private:
    QtTimer pollTimer_;
    DialogRelay* relay_ = nullptr;  // before model_, which is given it
    InitSaveModel model_;
    FormBuilder::Form form_;
    Confirm confirm_;
    QLabel* outcome_ = nullptr;
};

}  // namespace tarvo
