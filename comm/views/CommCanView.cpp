#include "comm/views/CommCanView.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include "resources/ResourceSet.h"

namespace tarvo {

namespace {
enum : int { kBitRates = 1213, kNodeId = 1002, kStatusButton = 1006, kDetail = 1216 };
enum : int { kVersion = 1212 };
}  // namespace

CommCanView::CommCanView(const ConnectionContext& context, const ResourceSet& resources,
                         QWidget* parent)
    : QWidget(parent), resources_(resources), model_(context) {
    form_ = FormBuilder::Build(resources, 123, this);
    model_.Create();
    ShowModel();
    auto* node = form_.Control<QLineEdit>(kNodeId);
    if (auto* rates = form_.Control<QComboBox>(kBitRates)) {
        connect(rates, &QComboBox::activated, this, [this](int index) {
            model_.SelectBitRate(index);
            ShowModel();
        });
    }
    if (node != nullptr) {
        connect(node, &QLineEdit::editingFinished, this,
                [this, node] { model_.SetNodeId(node->text().toInt()); });
    }
    if (auto* button = form_.Control<QPushButton>(kStatusButton)) {
        connect(button, &QPushButton::clicked, this, [this, node] {
            if (node != nullptr) {
                model_.SetNodeId(node->text().toInt());
            }
            model_.Toggle();
            ShowModel();
        });
    }
    if (auto* detail = form_.Control<QPushButton>(kDetail)) {
        connect(detail, &QPushButton::clicked, this, [this] {
            std::string text = model_.Detail();
            if (!text.empty()) {
                // Captioned as every other box of the program, not with the form's title.
                QMessageBox::information(this, resources_.String(102),
                                         QString::fromStdString(text));
            }
        });
    }
}

void CommCanView::ShowModel() {
    if (auto* rates = form_.Control<QComboBox>(kBitRates)) {
        rates->setCurrentIndex(model_.SelectedBitRate());
    }
    if (auto* node = form_.Control<QLineEdit>(kNodeId)) {
        node->setText(QString::number(model_.NodeId()));
    }
    auto* version = form_.Control<QLabel>(kVersion);
    if (version != nullptr && !model_.VersionCaption().empty()) {
        version->setText(QString::fromStdString(model_.VersionCaption()));
    }
    if (auto* button = form_.Control<QPushButton>(kStatusButton)) {
        button->setIcon(resources_.Icon(model_.StatusIcon()));
    }
}

intptr_t CommCanView::onMessage(uint32_t message, uintptr_t wParam, intptr_t) {
    auto state = static_cast<WindowState>(wParam);
    if (message == WM_LINK_STATE && (state == WindowState::ConnectionIconChanged ||
                                     state == WindowState::ConnectionIconRefresh)) {
        ShowModel();
    }
    return 0;
}

}  // namespace tarvo
