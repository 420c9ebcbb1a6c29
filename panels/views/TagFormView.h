#pragma once

#include <QWidget>
#include <functional>

#include "panels/TagFormModel.h"
#include "resources/FormBuilder.h"

class QTabWidget;

namespace tarvo {

class ResourceSet;
struct PanelDescription;

// The RPDO or TPDO tab view: the tab dialog (template 229 or 230) with one fieldbus page
// per tab, each made the first time its tab is chosen. The model is the view's window for
// the main frame.
class TagFormView : public QWidget {
    Q_OBJECT
public:
    // Makes the form of a fieldbus page inside `parent`.
    using PageMaker = std::function<QWidget*(const PanelDescription& page, QWidget* parent)>;

    TagFormView(TagFormModel::Direction direction, const ResourceSet& resources, PageMaker makePage,
                QWidget* parent = nullptr);

    TagFormModel& Model() { return model_; }
    QTabWidget* Tabs() const { return tabs_; }
    // The page of tab t, or null while it has not been made.
    QWidget* Page(int tab) const;

private:
    void ChooseTab(int tab);

    TagFormModel model_;
    PageMaker makePage_;
    FormBuilder::Form form_;
    QTabWidget* tabs_ = nullptr;
    QList<QWidget*> pages_;
};

}  // namespace tarvo
