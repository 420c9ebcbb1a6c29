#include "panels/ioerror/views/DataInOutView.h"

#include <algorithm>

#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QStyle>
#include <QTimer>

#include "dictionary/PlacedWindow.h"
#include "dictionary/ProjectSections.h"
#include "panels/ioerror/views/FunctionListDialog.h"
#include "panels/ioerror/views/HintPopup.h"
#include "platform/MessageBox.h"
#include "resources/ResourceSet.h"

namespace tarvo {

namespace {

using Group = DataInOutModel::Group;
using Lamps = DataInOutModel::Lamps;

// Control identifiers of dialog 144.
enum : int {
    kInputFunction = 1035,
    kInputChooser = 1043,
    kInputSimulate = 1051,
    kInputPolarity = 1059,
    kInputReal = 1067,
    kInputVirtual = 1075,
    kOutputFunction = 1083,
    kOutputChooser = 1091,
    kOutputSimulate = 1099,
    kOutputPolarity = 1107,
    kOutputReal = 1115,
};
enum : int { kBitSet = 206, kBitClear = 207, kLampOn = 211, kLampOff = 205, kLampFault = 210 };
// The column headings centred over their buttons, and the port names left of their fields.
constexpr int kCentredHeadings[] = {1602, 1603, 1604, 1605, 1622, 1623, 1624};
constexpr int kPortNames[] = {1610, 1611, 1612, 1613, 1614, 1615, 1616,
                              1617, 1630, 1631, 1632, 1633, 1634};
constexpr int kLabelPadding = 4;

// Widens a label that its text does not fit: a heading about its centre, a port name to
// the left of its right edge (its field's left edge), never past the form's left margin.
void FitLabel(QLabel* label, bool centred) {
    int needed = label->fontMetrics().horizontalAdvance(label->text()) + kLabelPadding;
    QRect place = label->geometry();
    if (place.width() >= needed) {
        return;
    }
    if (centred) {
        place.setLeft(place.center().x() - needed / 2);
        place.setWidth(needed);
    } else {
        place.setLeft(std::max(2, place.right() + 1 - needed));
    }
    label->setGeometry(place);
}
constexpr int kPanelNumber = 6;

struct ButtonColumn {
    Group group;
    int firstId;
};
constexpr ButtonColumn kButtons[] = {
    {Group::kInputSimulate, kInputSimulate},
    {Group::kInputPolarity, kInputPolarity},
    {Group::kOutputSimulate, kOutputSimulate},
    {Group::kOutputPolarity, kOutputPolarity},
};
struct LampColumn {
    Lamps lamps;
    int firstId;
    int count;
};
constexpr LampColumn kLamps[] = {
    {Lamps::kInputReal, kInputReal, DataInOutModel::kInputs},
    {Lamps::kInputVirtual, kInputVirtual, DataInOutModel::kInputs},
    {Lamps::kOutputReal, kOutputReal, DataInOutModel::kOutputs},
};

int FunctionFieldId(int port) {
    return port < DataInOutModel::kInputs ? kInputFunction + port
                                          : kOutputFunction + port - DataInOutModel::kInputs;
}

int ChooserButtonId(int port) {
    return port < DataInOutModel::kInputs ? kInputChooser + port
                                          : kOutputChooser + port - DataInOutModel::kInputs;
}

// A widget's outer frame on the screen, as the project sections store it.
class ScreenPlace : public PlacedWindow {
public:
    explicit ScreenPlace(QWidget* widget) : widget_(widget) {}
    WindowFrame Frame() const override {
        QRect frame = widget_->frameGeometry();
        QPoint topLeft = widget_->parentWidget() != nullptr
                             ? widget_->parentWidget()->mapToGlobal(frame.topLeft())
                             : frame.topLeft();
        return {topLeft.x(), topLeft.y(), frame.width(), frame.height()};
    }
    void SetFrame(const WindowFrame&) override {}

private:
    QWidget* widget_;
};

}  // namespace

DataInOutView::DataInOutView(const Services& services, QWidget* parent)
    : QWidget(parent),
      services_(services),
      model_({services.link, this, services.dictionary, services.units,
              services.programFolder + "/sys/DataInOut.ini", services.chinese}) {
    form_ = FormBuilder::Build(services_.resources, 144, this);
    if (form_.size.isValid()) {
        setMinimumSize(form_.size);
    }
    for (int id : kCentredHeadings) {
        if (auto* label = form_.Control<QLabel>(id)) {
            FitLabel(label, true);
        }
    }
    for (int id : kPortNames) {
        if (auto* label = form_.Control<QLabel>(id)) {
            FitLabel(label, false);
        }
    }
    hints_ = new HintPopup(this);
    hints_->SetChinese(services_.chinese);

    for (const ButtonColumn& column : kButtons) {
        for (int port = 0; port < DataInOutModel::GroupSize(column.group); ++port) {
            if (auto* button = form_.Control<QPushButton>(column.firstId + port)) {
                Group group = column.group;
                connect(button, &QPushButton::clicked, this, [this, group, port] {
                    model_.ToggleBit(group, port);
                    ShowModel();
                });
            }
        }
    }
    for (int port = 0; port < DataInOutModel::kPorts; ++port) {
        if (auto* button = form_.Control<QPushButton>(ChooserButtonId(port))) {
            connect(button, &QPushButton::clicked, this, [this, port] { OpenChooser(port); });
        }
    }

    model_.Create();
    if (std::string problem = model_.Names().Problem(); !problem.empty()) {
        // Told once the panel stands, not from inside its construction.
        QTimer::singleShot(0, this, [this, problem] { services_.messageBox.Show(problem); });
    }
    for (const ButtonColumn& column : kButtons) {
        for (int port = 0; port < DataInOutModel::GroupSize(column.group); ++port) {
            SetIcon(column.firstId + port, kBitClear);
        }
    }
    FunctionListDialog::Services chooserServices{services_.resources, services_.messageBox,
                                                 [this] { return services_.link.Connected(); },
                                                 services_.pixelsPerInch};
    for (auto kind : {IoFunctionNames::Kind::kInput, IoFunctionNames::Kind::kOutput}) {
        auto* chooser = new FunctionListDialog(chooserServices, this);
        chooser->Fill(model_.Names(), kind);
        choosers_[static_cast<size_t>(kind)] = chooser;
    }
    ShowModel();
}

DataInOutView::~DataInOutView() = default;

FunctionListDialog& DataInOutView::Chooser(IoFunctionNames::Kind kind) {
    return *choosers_[static_cast<size_t>(kind)];
}

void DataInOutView::OpenChooser(int port) {
    FunctionListDialog& chooser = Chooser(DataInOutModel::KindOf(port));
    chooser.SetTarget(this, DataInOutModel::FunctionKey(port), model_.FunctionBits(port));
    chooser.show();
    chooser.raise();
    chooser.activateWindow();
}

void DataInOutView::SetIcon(int id, int icon) {
    auto it = shownIcons_.find(id);
    if (it != shownIcons_.end() && it.value() == icon) {
        return;
    }
    QWidget* control = form_.controls.value(id);
    if (auto* button = qobject_cast<QPushButton*>(control)) {
        button->setIcon(services_.resources.Icon(icon));
    } else if (auto* lamp = qobject_cast<QLabel*>(control)) {
        lamp->setPixmap(services_.resources.IconPixmap(icon, lamp->size()));
    } else {
        return;
    }
    shownIcons_.insert(id, icon);
}

void DataInOutView::ShowModel() {
    for (const ButtonColumn& column : kButtons) {
        for (int port = 0; port < DataInOutModel::GroupSize(column.group); ++port) {
            SetIcon(column.firstId + port, model_.Bit(column.group, port) ? kBitSet : kBitClear);
        }
    }
    for (const LampColumn& column : kLamps) {
        for (int port = 0; port < column.count; ++port) {
            int icon = model_.LampOn(column.lamps, port) ? kLampOn : kLampOff;
            if (column.lamps == Lamps::kOutputReal && model_.FaultActive(port)) {
                icon = kLampFault;  // an active fault output is a fault, not a good sign
            }
            SetIcon(column.firstId + port, icon);
        }
    }
    for (int port = 0; port < DataInOutModel::kPorts; ++port) {
        auto* field = form_.Control<QLineEdit>(FunctionFieldId(port));
        if (field == nullptr) {
            continue;
        }
        QString text = QString::fromStdString(model_.FunctionText(port));
        if (field->text() != text) {
            field->setText(text);
            field->setCursorPosition(0);
        }
        const std::vector<std::string>& lines = model_.HintLines(port);
        if (lines != shownHints_[port]) {
            shownHints_[port] = lines;
            QStringList hint;
            for (const std::string& line : lines) {
                hint << QString::fromStdString(line);
            }
            hints_->RemoveHint(field);
            hints_->AddHint(field, hint, QColor(250, 250, 210), Qt::black);
        }
    }
}

void DataInOutView::SaveWindowPlace() {
    if (services_.project == nullptr || services_.mainWindow == nullptr) {
        return;
    }
    QWidget* frame = parentWidget() != nullptr ? parentWidget() : this;
    if (auto* sub = qobject_cast<QMdiSubWindow*>(frame); sub == nullptr) {
        frame = this;
    }
    ScreenPlace panel(frame);
    ScreenPlace main(services_.mainWindow);
    int caption = style()->pixelMetric(QStyle::PM_TitleBarHeight);
    services_.project->SaveWindowPlace(kPanelNumber, panel, frame->isVisible() ? 1 : 0, main,
                                       caption);
}

intptr_t DataInOutView::onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    switch (message) {
        case WM_LINK_VALUE:
            model_.OnLinkValue(static_cast<uint32_t>(wParam), static_cast<uint32_t>(lParam));
            stale_.Clear();
            ShowModel();
            break;
        case WM_LINK_ABORT:
            model_.OnLinkAbort(static_cast<uint32_t>(lParam));
            break;
        case WM_LINK_STATE: {
            auto state = static_cast<WindowState>(wParam);
            if (state == WindowState::SaveProject) {
                SaveWindowPlace();
            } else if (state == WindowState::LinkLost) {
                stale_.Mark(lParam);
            } else {
                model_.OnLinkState(state);
                if (state == WindowState::ConnectionChanged) {
                    for (FunctionListDialog* chooser : choosers_) {
                        if (chooser->isVisible()) {
                            chooser->ShowTicks();
                        }
                    }
                }
            }
            break;
        }
        case WM_FUNCTION_CHOSEN:
            model_.ChooseFunctions(static_cast<uint32_t>(lParam), static_cast<uint32_t>(wParam));
            break;
        default:
            break;
    }
    return 0;
}

}  // namespace tarvo
