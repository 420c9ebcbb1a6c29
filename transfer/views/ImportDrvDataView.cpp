#include "transfer/views/ImportDrvDataView.h"

#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

#include "resources/ResourceSet.h"
#include "transfer/views/TransferDialogs.h"

namespace tarvo {

namespace {

constexpr int kDialog = 158;
constexpr int kList = 1138;

}  // namespace

ImportDrvDataView::ImportDrvDataView(const TransferViewContext& context, QWidget* parent)
    : QWidget(parent),
      model_({context.link, context.switches, context.messageBox, context.dictionary, storeTimer_,
              watchTimer_, context.mainFrame, this}),
      chooser_(&TransferDialogs::Choose),
      folder_(QString::fromStdString(context.userFolder)) {
    form_ = FormBuilder::Build(context.resources, kDialog, this);
    setFixedSize(form_.size);
    list_ = std::make_unique<TransferList>(
        form_.Control<QTreeWidget>(kList),
        QStringList{QString(), QStringLiteral("index"), QStringLiteral("load value"),
                    QStringLiteral("read value"), QStringLiteral("result"), QStringLiteral("name")},
        std::vector<int>{45, 90, 100, 100, 90, 250}, this);
    auto connectButton = [this](int id, auto action) {
        if (auto* button = form_.Control<QPushButton>(id)) {
            connect(button, &QPushButton::clicked, this, action);
        }
    };
    connectButton(ImportDrvDataModel::kOpenButton, [this] { OpenFile(); });
    connectButton(ImportDrvDataModel::kWriteButton, [this] { model_.Write(); });
    connectButton(ImportDrvDataModel::kStoreButton, [this] { model_.SaveParameters(); });
    connectButton(ImportDrvDataModel::kRebootButton, [this] { model_.Reboot(); });
    model_.hooks.rowsReset = [this] {
        list_->Refill(static_cast<int>(model_.Rows().size()), [this](int row) { ShowRow(row); });
    };
    model_.hooks.rowChanged = [this](int row) { ShowRow(row); };
    model_.hooks.stateChanged = [this] { ShowState(); };
    ShowState();
}

ImportDrvDataView::~ImportDrvDataView() {
    model_.hooks = {};
}

void ImportDrvDataView::ShowRow(int row) {
    const ImportDrvDataModel::Row& r = model_.Rows()[row];
    QColor colour = r.Failed()    ? TransferList::kFailColour
                    : r.Alarmed() ? TransferList::kAlarmColour
                                  : QColor();
    list_->SetRow(row,
                  {QString::number(row + 1), QString::fromStdString(r.wordText),
                   QString::fromStdString(r.loadValue), QString::fromStdString(r.readValue),
                   QString::fromUtf8(RowResultText(r.result)), QString::fromStdString(r.name)},
                  colour);
}

void ImportDrvDataView::ShowState() {
    for (auto status : {ImportDrvDataModel::kLoadStatus, ImportDrvDataModel::kWriteStatus,
                        ImportDrvDataModel::kStoreStatus}) {
        if (auto* label = form_.Control<QLabel>(status)) {
            label->setText(QString::fromStdString(model_.StatusText(status)));
        }
    }
    for (auto button : {ImportDrvDataModel::kOpenButton, ImportDrvDataModel::kWriteButton,
                        ImportDrvDataModel::kStoreButton, ImportDrvDataModel::kRebootButton}) {
        if (auto* control = form_.Control<QPushButton>(button)) {
            control->setEnabled(model_.ButtonEnabled(button));
        }
    }
    list_->SetProgress(model_.RowsDone(), static_cast<int>(model_.Rows().size()));
}

void ImportDrvDataView::OpenFile() {
    model_.BeginOpen();
    QString path = chooser_({false, QStringLiteral("Open import data file"),
                             QStringLiteral("Files(*.cdi) (*.cdi)"),
                             folder_ + QStringLiteral("/name"), QString()});
    if (!path.isEmpty()) {
        folder_ = TransferDialogs::FolderOf(path);
        model_.LoadFile(path.toStdString());
    }
    model_.EndOpen();
}

intptr_t ImportDrvDataView::onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    return model_.onMessage(message, wParam, lParam);
}

}  // namespace tarvo
