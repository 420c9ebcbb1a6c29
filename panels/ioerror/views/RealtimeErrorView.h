#pragma once

#include <QWidget>
#include <functional>

#include "panels/ioerror/FaultResetOffer.h"
#include "panels/ioerror/FaultResetSequence.h"
#include "panels/ioerror/RealtimeErrorModel.h"
#include "panels/views/StaleMark.h"
#include "platform/MessageTarget.h"
#include "resources/FormBuilder.h"

namespace tarvo {

class MessageBox;
class ResourceSet;

// The error control panel (dialog 145) over its model: 32 error lamps with their names and
// the 32 boxes of the error control words. It also offers a fault reset when the toolbar's
// state icon is clicked while the drive reports a fault.
class RealtimeErrorView : public QWidget, public MessageTarget, public FaultResetOffer {
    Q_OBJECT
public:
    struct Services {
        IoPanelLink link;
        const ResourceSet& resources;
        MessageBox& messageBox;
        std::string programFolder;
        bool chinese = false;
    };
    // Asks the user a yes/no question; the program shows a message box.
    using Confirm = std::function<bool(const QString& question)>;

    explicit RealtimeErrorView(const Services& services, QWidget* parent = nullptr);

    intptr_t onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
    void OfferFaultReset() override;

    void SetConfirm(Confirm confirm) { confirm_ = std::move(confirm); }
    RealtimeErrorModel& Model() { return model_; }
    FaultResetSequence& FaultReset() { return faultReset_; }
    QWidget* Control(int id) const { return form_.controls.value(id); }
    static int BoxId(int bit) { return bit == 31 ? 1382 : 1341 + bit; }
    static int LampId(int bit) { return 1391 + bit; }
    static int NameId(int bit) { return 1301 + bit; }
    // The icon a lamp shows: 210 for a set error state bit, 211 for a clear one.
    int LampIcon(int bit) const { return lampIcons_[bit]; }

private:
    void ShowModel();

    Services services_;
    RealtimeErrorModel model_;
    FaultResetSequence faultReset_;
    FormBuilder::Form form_;
    Confirm confirm_;
    std::array<int, RealtimeErrorModel::kBits> lampIcons_{};
    StaleMark stale_{*this, services_.resources};
};

}  // namespace tarvo
