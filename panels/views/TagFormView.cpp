#include "panels/views/TagFormView.h"

#include <QTabWidget>
#include <QVBoxLayout>

#include "panels/PanelDescription.h"
#include "resources/ResourceSet.h"

namespace tarvo {

namespace {

constexpr int kTabWidth = 600;
constexpr int kTabHeight = 400;

}  // namespace

TagFormView::TagFormView(TagFormModel::Direction direction, const ResourceSet& resources,
                         PageMaker makePage, QWidget* parent)
    : QWidget(parent), model_(direction), makePage_(std::move(makePage)) {
    bool receive = direction == TagFormModel::Direction::kReceive;
    form_ = FormBuilder::Build(resources, receive ? 229 : 230, this);
    tabs_ = form_.Control<QTabWidget>(receive ? 1247 : 1248);
    if (tabs_ == nullptr) {
        tabs_ = new QTabWidget(this);
    }
    tabs_->setGeometry(0, 0, kTabWidth, kTabHeight);
    for (int page = 1; page <= TagFormModel::kPageCount; ++page) {
        auto* holder = new QWidget(tabs_);
        auto* layout = new QVBoxLayout(holder);
        layout->setContentsMargins(0, 0, 0, 0);
        tabs_->addTab(holder, QString::fromStdString(model_.PageName(page)));
        pages_.append(nullptr);
    }
    ChooseTab(0);
    connect(tabs_, &QTabWidget::currentChanged, this, &TagFormView::ChooseTab);
    setMinimumSize(kTabWidth, kTabHeight);
}

QWidget* TagFormView::Page(int tab) const {
    return tab >= 0 && tab < pages_.size() ? pages_[tab] : nullptr;
}

void TagFormView::ChooseTab(int tab) {
    TagFormModel::Choice choice = model_.ChooseTab(tab);
    if (!choice.create || !makePage_) {
        return;
    }
    const PanelDescription* description = model_.PageDescription(choice.page);
    QWidget* holder = tabs_->widget(tab);
    if (description == nullptr || holder == nullptr) {
        return;
    }
    QWidget* page = makePage_(*description, holder);
    if (page != nullptr) {
        holder->layout()->addWidget(page);
        pages_[tab] = page;
    }
}

}  // namespace tarvo
