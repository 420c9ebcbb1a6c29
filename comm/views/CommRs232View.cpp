#include "comm/views/CommRs232View.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "resources/ResourceSet.h"

namespace tarvo {

namespace {

enum : int { kPorts = 1000, kBauds = 1001, kNodeId = 1002, kStatusButton = 1006 };

std::vector<std::string> Entries(const ResourceSet& resources) {
    std::vector<std::string> entries = resources.Catalog().InitialList(124, kBauds);
    return entries;
}

}  // namespace

CommRs232View::CommRs232View(const ConnectionContext& context, const ResourceSet& resources,
                             CommRs232Model::PortLister listPorts, QWidget* parent)
    : QWidget(parent),
      resources_(resources),
      model_(context, std::move(listPorts), Entries(resources)) {
    form_ = FormBuilder::Build(resources, 124, this);
    auto* ports = form_.Control<QComboBox>(kPorts);
    auto* bauds = form_.Control<QComboBox>(kBauds);
    auto* node = form_.Control<QLineEdit>(kNodeId);
    auto* button = form_.Control<QPushButton>(kStatusButton);
    model_.Create();
    ShowModel();
    if (ports != nullptr) {
        connect(ports, &QComboBox::activated, this, [this](int index) {
            model_.SelectPort(index);
            ShowModel();
        });
    }
    if (bauds != nullptr) {
        connect(bauds, &QComboBox::activated, this, [this](int index) {
            model_.SelectBaud(index);
            ShowModel();
        });
    }
    if (node != nullptr) {
        connect(node, &QLineEdit::editingFinished, this,
                [this, node] { model_.SetNodeId(node->text().toInt()); });
    }
    if (button != nullptr) {
        connect(button, &QPushButton::clicked, this, [this, node] {
            if (node != nullptr) {
                model_.SetNodeId(node->text().toInt());
            }
            model_.Toggle();
            ShowModel();
        });
    }
}

void CommRs232View::ShowModel() {
    if (auto* ports = form_.Control<QComboBox>(kPorts)) {
        ports->clear();
        for (const std::string& port : model_.Ports()) {
            ports->addItem(QString::fromStdString(port));
        }
        ports->setCurrentIndex(model_.SelectedPort());
    }
    if (auto* bauds = form_.Control<QComboBox>(kBauds)) {
        bauds->setCurrentIndex(model_.SelectedBaud());
    }
    if (auto* node = form_.Control<QLineEdit>(kNodeId)) {
        node->setText(QString::number(model_.NodeId()));
    }
    if (auto* button = form_.Control<QPushButton>(kStatusButton)) {
        button->setIcon(resources_.Icon(model_.StatusIcon()));
    }
}

intptr_t CommRs232View::onMessage(uint32_t message, uintptr_t wParam, intptr_t) {
    auto state = static_cast<WindowState>(wParam);
    if (message == WM_LINK_STATE && (state == WindowState::ConnectionIconChanged ||
                                     state == WindowState::ConnectionIconRefresh)) {
        model_.Redraw();
        ShowModel();
    }
    return 0;
}

}  // namespace tarvo
