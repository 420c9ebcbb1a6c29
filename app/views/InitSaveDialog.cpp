#include "app/views/InitSaveDialog.h"

#include <QPushButton>

#include "resources/ResourceSet.h"

namespace tarvo {

namespace {

struct Button {
    int id;
    InitSaveModel::Command command;
};

constexpr Button kButtons[] = {
    {1096, InitSaveModel::kSaveControl},
    {1097, InitSaveModel::kSaveMotor},
    {1098, InitSaveModel::kInitializeControl},
    {1095, InitSaveModel::kReboot},
};
constexpr int kExit = 2;

}  // namespace

InitSaveDialog::InitSaveDialog(const Services& services, const ResourceSet& resources,
                               QWidget* parent)
    : QDialog(parent),
      model_({services.link, services.switches, services.messageBox, pollTimer_, services.mainFrame,
              this}) {
    form_ = FormBuilder::Build(resources, 157, this);
    auto dialog = resources.Catalog().Dialog(157);
    setWindowTitle(dialog ? QString::fromStdString(dialog->caption) : QString());
    setFixedSize(form_.size);
    for (const Button& b : kButtons) {
        if (auto* button = form_.Control<QPushButton>(b.id)) {
            auto command = b.command;
            connect(button, &QPushButton::clicked, this,
                    [this, command] { model_.Press(command); });
        }
    }
    if (auto* exit = form_.Control<QPushButton>(kExit)) {
        connect(exit, &QPushButton::clicked, this, &QDialog::accept);
    }
    model_.onButtonsEnabled = [this](bool enabled) {
        for (const Button& b : kButtons) {
            if (auto* button = form_.Control<QPushButton>(b.id)) {
                button->setEnabled(enabled);
            }
        }
    };
    model_.Open();
}

InitSaveDialog::~InitSaveDialog() {
    model_.Close();
}

void InitSaveDialog::done(int result) {
    model_.Close();
    QDialog::done(result);
}

intptr_t InitSaveDialog::onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    return model_.onMessage(message, wParam, lParam);
}

}  // namespace tarvo
