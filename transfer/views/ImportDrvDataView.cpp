#include "transfer/views/ImportDrvDataView.h"

#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

#include "comm/LinkSwitches.h"
#include "platform/MessageBox.h"
#include "resources/ResourceSet.h"
#include "transfer/views/TransferDialogs.h"

namespace tarvo {

namespace {

constexpr int kDialog = 158;
constexpr int kList = 1138;
constexpr int kCompareText = 1770;
constexpr int kNoFile = 1785;
constexpr int kNotConnected = 1789;

}  // namespace

ImportDrvDataView::ImportDrvDataView(const TransferViewContext& context, QWidget* parent)
    : QWidget(parent),
      context_(context),
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
    // Beside "Reboot Driver", where the form leaves room.
    compareButton_ = new QPushButton(context.resources.String(kCompareText), this);
    if (auto* reboot = form_.Control<QPushButton>(ImportDrvDataModel::kRebootButton)) {
        compareButton_->setGeometry(reboot->geometry().translated(reboot->width() + 12, 0));
        setTabOrder(reboot, compareButton_);
    }
    connect(compareButton_, &QPushButton::clicked, this, [this] { Compare(); });
    model_.hooks.rowsReset = [this] {
        list_->Refill(static_cast<int>(model_.Rows().size()), [this](int row) { ShowRow(row); });
    };
    model_.hooks.rowChanged = [this](int row) { ShowRow(row); };
    model_.hooks.stateChanged = [this] {
        ShowState();
        if (compare_) {
            compare_->ShowProgress();
        }
    };
    model_.hooks.finished = [this] {
        if (compare_) {
            compare_->RunFinished();
        }
    };
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
    compareButton_->setEnabled(!model_.Running() && !model_.Storing());
    list_->SetProgress(model_.RowsDone(), static_cast<int>(model_.Rows().size()));
}

CompareDrvDataDialog* ImportDrvDataView::Compare() {
    if (model_.Running() || model_.Storing()) {
        return nullptr;
    }
    if (model_.Rows().empty()) {
        context_.messageBox.Show(context_.resources.String(kNoFile).toStdString());
        return nullptr;
    }
    if (context_.switches.connectionState != ConnectionState::Open) {
        context_.messageBox.Show(context_.resources.String(kNotConnected).toStdString());
        return nullptr;
    }
    if (!compare_) {
        compare_ = new CompareDrvDataDialog(model_, context_.dictionary, context_.resources, this);
        compare_->setWindowModality(Qt::WindowModal);
    }
    compare_->show();
    compare_->raise();
    return compare_->Compare() ? compare_.data() : nullptr;
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
