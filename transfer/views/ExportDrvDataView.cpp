#include "transfer/views/ExportDrvDataView.h"

#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

#include "resources/ResourceSet.h"
#include "transfer/views/TransferDialogs.h"

namespace tarvo {

namespace {

constexpr int kDialog = 155;
constexpr int kList = 1138;

}  // namespace

ExportDrvDataView::ExportDrvDataView(const TransferViewContext& context, QWidget* parent)
    : QWidget(parent),
      model_({context.link, context.switches, context.messageBox, context.dictionary, watchTimer_,
              this}),
      chooser_(&TransferDialogs::Choose),
      folder_(QString::fromStdString(context.userFolder)) {
    form_ = FormBuilder::Build(context.resources, kDialog, this);
    setFixedSize(form_.size);
    list_ = std::make_unique<TransferList>(
        form_.Control<QTreeWidget>(kList),
        QStringList{QString(), QStringLiteral("index"), QStringLiteral("value"),
                    QStringLiteral("result"), QStringLiteral("name")},
        std::vector<int>{45, 85, 95, 60, 250}, this);
    auto connectButton = [this](int id, auto action) {
        if (auto* button = form_.Control<QPushButton>(id)) {
            connect(button, &QPushButton::clicked, this, action);
        }
    };
    connectButton(ExportDrvDataModel::kOpenButton, [this] { OpenFile(); });
    connectButton(ExportDrvDataModel::kReadButton, [this] { model_.Read(); });
    connectButton(ExportDrvDataModel::kSaveButton, [this] { Save(); });
    model_.hooks.rowsReset = [this] {
        list_->Refill(static_cast<int>(model_.Rows().size()), [this](int row) { ShowRow(row); });
    };
    model_.hooks.rowChanged = [this](int row) { ShowRow(row); };
    model_.hooks.stateChanged = [this] { ShowState(); };
    ShowState();
}

ExportDrvDataView::~ExportDrvDataView() {
    model_.hooks = {};
}

void ExportDrvDataView::ShowRow(int row) {
    const ExportDrvDataModel::Row& r = model_.Rows()[row];
    list_->SetRow(row,
                  {QString::number(row + 1), QString::fromStdString(r.wordText),
                   QString::fromStdString(r.value), QString::fromUtf8(RowResultText(r.result)),
                   QString::fromStdString(r.name)},
                  r.Failed() ? TransferList::kFailColour : QColor());
}

void ExportDrvDataView::ShowState() {
    for (auto status : {ExportDrvDataModel::kListStatus, ExportDrvDataModel::kReadStatus,
                        ExportDrvDataModel::kSaveStatus}) {
        if (auto* label = form_.Control<QLabel>(status)) {
            label->setText(QString::fromStdString(model_.StatusText(status)));
        }
    }
    for (auto button : {ExportDrvDataModel::kOpenButton, ExportDrvDataModel::kReadButton,
                        ExportDrvDataModel::kSaveButton}) {
        if (auto* control = form_.Control<QPushButton>(button)) {
            control->setEnabled(model_.ButtonEnabled(button));
        }
    }
    list_->SetProgress(model_.RowsDone(), static_cast<int>(model_.Rows().size()));
}

void ExportDrvDataView::OpenFile() {
    model_.BeginOpen();
    QString path = chooser_({false, QStringLiteral("Open export object list file"),
                             QStringLiteral("Files(*.cdo) (*.cdo)"),
                             folder_ + QStringLiteral("/name"), QString()});
    if (!path.isEmpty()) {
        folder_ = TransferDialogs::FolderOf(path);
        model_.LoadList(path.toStdString());
    }
    model_.EndOpen();
}

void ExportDrvDataView::Save() {
    QString path = chooser_({true, QStringLiteral("Open save file"),
                             QStringLiteral("Files(*.cdi) (*.cdi);;Files(*.txt) (*.txt)"),
                             folder_ + QStringLiteral("/name"), QStringLiteral("cdi")});
    if (path.isEmpty()) {
        return;
    }
    folder_ = TransferDialogs::FolderOf(path);
    std::string target =
        ParameterFile::SavePath(path.toStdString(), QFileInfo(path).suffix().toStdString());
    model_.Save(target);
}

intptr_t ExportDrvDataView::onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    return model_.onMessage(message, wParam, lParam);
}

}  // namespace tarvo
