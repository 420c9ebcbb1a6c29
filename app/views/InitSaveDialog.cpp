#include "app/views/InitSaveDialog.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include "protocol/AbortText.h"
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
constexpr int kAskInitialize = 2902;
constexpr int kAskReboot = 2903;
constexpr int kSaved = 2904;
constexpr int kRefused = 2905;
constexpr int kOutcomeHeight = 44;

// The text with each "%s" replaced by the next value.
QString FillIn(QString text, const QStringList& values) {
    qsizetype from = 0;
    for (const QString& value : values) {
        qsizetype at = text.indexOf(QStringLiteral("%s"), from);
        if (at < 0) {
            break;
        }
        text.replace(at, 2, value);
        from = at + value.size();
    }
    return text;
}

}  // namespace

InitSaveDialog::InitSaveDialog(const Services& services, const ResourceSet& resources,
                               QWidget* parent)
    : QDialog(parent),
      relay_(services.relay),
      model_({services.link, services.switches, services.messageBox, pollTimer_, services.mainFrame,
              services.relay != nullptr ? static_cast<MessageTarget*>(services.relay) : this}) {
    if (relay_ != nullptr) {
        relay_->Attach(this);
    }
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
    // No button acts on Enter: a key meant for another window must never store, reset or
    // restart the drive.
    for (QPushButton* button : findChildren<QPushButton*>()) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    outcome_ = new QLabel(this);
    outcome_->setObjectName(QStringLiteral("outcome"));
    outcome_->setWordWrap(true);
    outcome_->setGeometry(8, form_.size.height(), form_.size.width() - 16, kOutcomeHeight);
    setFixedSize(form_.size + QSize(0, kOutcomeHeight));
    confirm_ = [this](const QString& question) {
        // "No" is the default: a stray Enter must not say yes.
        return QMessageBox::question(this, windowTitle(), question,
                                     QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::No) == QMessageBox::Yes;
    };
    model_.confirm = [this, &resources](InitSaveModel::Command command) {
        outcome_->clear();
        return confirm_(
            resources.String(command == InitSaveModel::kReboot ? kAskReboot : kAskInitialize));
    };
    model_.onOutcome = [this, &resources](InitSaveModel::Command, InitSaveModel::Outcome outcome,
                                          uint32_t code) {
        if (outcome == InitSaveModel::Outcome::kSaved) {
            outcome_->setText(resources.String(kSaved));
        } else {
            QString hex = QString::number(code, 16).toUpper().rightJustified(8, QLatin1Char('0'));
            outcome_->setText(FillIn(
                resources.String(kRefused),
                {QStringLiteral("0x") + hex, QString::fromStdString(AbortText::Meaning(code))}));
        }
    };
    model_.onButtonsEnabled = [this](bool enabled) {
        for (const Button& b : kButtons) {
            if (auto* button = form_.Control<QPushButton>(b.id)) {
                button->setEnabled(enabled);
            }
        }
    };
    model_.Open();
}

QString InitSaveDialog::OutcomeText() const {
    return outcome_->text();
}

InitSaveDialog::~InitSaveDialog() {
    model_.Close();
    if (relay_ != nullptr) {
        relay_->Attach(nullptr);
    }
}

void InitSaveDialog::done(int result) {
    model_.Close();
    QDialog::done(result);
}

intptr_t InitSaveDialog::onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    return model_.onMessage(message, wParam, lParam);
}

}  // namespace tarvo
