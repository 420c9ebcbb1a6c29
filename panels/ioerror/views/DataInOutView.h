#pragma once

#include <QIcon>
#include <QWidget>
#include <array>
#include <memory>

#include "panels/ioerror/DataInOutModel.h"
#include "panels/views/StaleMark.h"
#include "platform/MessageTarget.h"
#include "resources/FormBuilder.h"

namespace tarvo {

class FunctionListDialog;
class HintPopup;
class MessageBox;
class ProjectSections;
class ResourceSet;

// The I/O port panel (dialog 144) over its model: function fields with hints and "..."
// choosers, simulate and polarity buttons, real and virtual lamps.
class DataInOutView : public QWidget, public MessageTarget {
    Q_OBJECT
public:
    struct Services {
        IoPanelLink link;
        const ResourceSet& resources;
        MessageBox& messageBox;
        const ObjectDictionary* dictionary = nullptr;
        UnitTable* units = nullptr;
        ProjectSections* project = nullptr;  // for the window place (code 3)
        QWidget* mainWindow = nullptr;
        std::string programFolder;
        bool chinese = false;
        int pixelsPerInch = 96;
    };

    explicit DataInOutView(const Services& services, QWidget* parent = nullptr);
    ~DataInOutView() override;

    intptr_t onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

    DataInOutModel& Model() { return model_; }
    HintPopup& Hints() { return *hints_; }
    FunctionListDialog& Chooser(IoFunctionNames::Kind kind);
    QWidget* Control(int id) const { return form_.controls.value(id); }
    // The icon a button or lamp shows (206/207, 211/205), for tests and screenshots.
    int IconOf(int id) const { return shownIcons_.value(id, 0); }
    void OpenChooser(int port);

private:
    void ShowModel();
    void SetIcon(int id, int icon);
    void SaveWindowPlace();

    Services services_;
    DataInOutModel model_;
    FormBuilder::Form form_;
    HintPopup* hints_ = nullptr;
    std::array<FunctionListDialog*, 2> choosers_{};
    QHash<int, int> shownIcons_;
    std::array<std::vector<std::string>, DataInOutModel::kPorts> shownHints_;
    StaleMark stale_{*this, services_.resources};
};

}  // namespace tarvo
