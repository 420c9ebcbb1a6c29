#include "comm/views/CommModeView.h"

#include <QPushButton>
#include <QRadioButton>

namespace tarvo {

namespace {
enum : int { kRs485 = 1019, kUsb = 1013, kCan = 1011, kRs232 = 1025, kOffline = 1031 };
enum : int { kNext = 1003, kCancel = 1004 };
}  // namespace

CommModeView::CommModeView(const ConnectionContext& context, const ResourceSet& resources,
                           QWidget* parent)
    : QWidget(parent), model_(context) {
    form_ = FormBuilder::Build(resources, 125, this);
    for (int id : {kRs485, kUsb}) {
        if (auto* radio = form_.Control<QRadioButton>(id)) {
            radio->setEnabled(false);
        }
    }
    auto connectRadio = [this](int id, auto choose) {
        if (auto* radio = form_.Control<QRadioButton>(id)) {
            connect(radio, &QRadioButton::clicked, this, [this, choose] { Check(choose()); });
        }
    };
    connectRadio(kCan, [this] { return model_.ChooseCan(); });
    connectRadio(kRs232, [this] { return model_.ChooseRs232(); });
    connectRadio(kOffline, [this] { return model_.ChooseOffline(); });
    if (auto* next = form_.Control<QPushButton>(kNext)) {
        connect(next, &QPushButton::clicked, this, [this] {
            model_.Next();
            emit closeRequested();
        });
    }
    if (auto* cancel = form_.Control<QPushButton>(kCancel)) {
        connect(cancel, &QPushButton::clicked, this, &CommModeView::closeRequested);
    }
    Check(model_.Create());
}

void CommModeView::Check(CommModeModel::Choice choice) {
    int checked = choice == CommModeModel::kCan     ? kCan
                  : choice == CommModeModel::kRs232 ? kRs232
                                                    : kOffline;
    for (int id : {kCan, kRs232, kOffline}) {
        if (auto* radio = form_.Control<QRadioButton>(id)) {
            radio->setChecked(id == checked);
        }
    }
}

}  // namespace tarvo
