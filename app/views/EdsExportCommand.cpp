#include "app/views/EdsExportCommand.h"

#include <QFileDialog>

#include "app/SharedState.h"
#include "dictionary/EdsFileExport.h"
#include "platform/AppSettings.h"
#include "platform/MessageBox.h"
#include "resources/ResourceSet.h"

namespace tarvo {

namespace {
constexpr int kTitle = 1500;
constexpr int kFilter = 1501;
constexpr int kNotWritten = 1502;
constexpr int kWritten = 1503;
}  // namespace

void EdsExportCommand::Run(QWidget* parent, SharedState& state, const ResourceSet& resources) {
    QString chosen = QFileDialog::getSaveFileName(
        parent, resources.String(kTitle), QString::fromStdString(state.userFolder + "tarvo.eds"),
        resources.String(kFilter));
    if (chosen.isEmpty()) {
        return;
    }
    if (!chosen.endsWith(QStringLiteral(".eds"), Qt::CaseInsensitive)) {
        chosen += QStringLiteral(".eds");
    }
    AppSettings settings(state.settingsFilePath);
    EdsWriter::Device device;
    device.vendorName = settings.EdsVendorName();
    device.productName = settings.EdsProductName();
    device.orderCode = settings.EdsOrderCode();
    size_t written = 0;
    std::string error =
        EdsFileExport::Write(state.dataFilePath, chosen.toStdString(), device, written);
    QString text = error.empty()
                       ? resources.String(kWritten)
                             .replace(QStringLiteral("%d"), QString::number(written))
                             .replace(QStringLiteral("%s"), chosen)
                       : resources.String(kNotWritten)
                             .replace(QStringLiteral("%s"), QString::fromStdString(error));
    state.messageBox().ShowWithIcon(text.toStdString(), error.empty()
                                                            ? MessageBox::Icon::kInformation
                                                            : MessageBox::Icon::kWarning);
}

}  // namespace tarvo
