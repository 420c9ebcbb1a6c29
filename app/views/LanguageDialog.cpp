#include "app/views/LanguageDialog.h"

#include <QPushButton>
#include <QRadioButton>

#include "resources/ResourceSet.h"

namespace tarvo {

namespace {
enum : int { kChinese = 1136, kEnglish = 1137, kOk = 1090, kCancel = 1091 };
}

LanguageDialog::LanguageDialog(LanguageDialogModel& model, const ResourceSet& resources,
                               QWidget* parent)
    : QDialog(parent), model_(model) {
    form_ = FormBuilder::Build(resources, 147, this);
    auto dialog = resources.Catalog().Dialog(147);
    setWindowTitle(dialog ? QString::fromStdString(dialog->caption) : QString());
    setFixedSize(form_.size);
    if (auto* ok = form_.Control<QPushButton>(kOk)) {
        ok->setDefault(true);
        connect(ok, &QPushButton::clicked, this, &LanguageDialog::Accept);
    }
    if (auto* cancel = form_.Control<QPushButton>(kCancel)) {
        connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    }
    Check(model_.Open());
    if (auto* first = form_.Control<QRadioButton>(kChinese)) {
        first->setFocus();
    }
}

LanguageDialogModel::Choice LanguageDialog::Checked() const {
    auto* chinese = form_.Control<QRadioButton>(kChinese);
    auto* english = form_.Control<QRadioButton>(kEnglish);
    if (chinese != nullptr && chinese->isChecked()) {
        return LanguageDialogModel::kChinese;
    }
    if (english != nullptr && english->isChecked()) {
        return LanguageDialogModel::kEnglish;
    }
    return LanguageDialogModel::kNone;
}

void LanguageDialog::Check(LanguageDialogModel::Choice choice) {
    if (auto* chinese = form_.Control<QRadioButton>(kChinese)) {
        chinese->setChecked(choice == LanguageDialogModel::kChinese);
    }
    if (auto* english = form_.Control<QRadioButton>(kEnglish)) {
        english->setChecked(choice == LanguageDialogModel::kEnglish);
    }
}

void LanguageDialog::Accept() {
    auto checked = Checked();
    if (model_.Accept(checked)) {
        accept();
    } else {
        Check(checked);
    }
}

AboutDialog::AboutDialog(const ResourceSet& resources, QWidget* parent) : QDialog(parent) {
    FormBuilder::Form form = FormBuilder::Build(resources, 100, this);
    auto dialog = resources.Catalog().Dialog(100);
    setWindowTitle(dialog ? QString::fromStdString(dialog->caption) : QString());
    setFixedSize(form.size);
    if (auto* ok = form.Control<QPushButton>(1)) {
        ok->setDefault(true);
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    }
}

}  // namespace tarvo
