#pragma once

#include <QDialog>

#include "app/LanguageSettlement.h"
#include "resources/FormBuilder.h"

namespace tarvo {

class ResourceSet;

// "Language Set" (dialog 147): Chinese or English for the next start.
class LanguageDialog : public QDialog {
    Q_OBJECT
public:
    LanguageDialog(LanguageDialogModel& model, const ResourceSet& resources,
                   QWidget* parent = nullptr);

private:
    void Accept();
    LanguageDialogModel::Choice Checked() const;
    void Check(LanguageDialogModel::Choice choice);

    LanguageDialogModel& model_;
    FormBuilder::Form form_;
};

// The about box (dialog 100).
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    AboutDialog(const ResourceSet& resources, QWidget* parent = nullptr);
};

}  // namespace tarvo
