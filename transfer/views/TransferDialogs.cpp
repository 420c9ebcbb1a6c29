#include "transfer/views/TransferDialogs.h"

#include <QFileDialog>
#include <QFileInfo>

namespace tarvo {

QString TransferDialogs::Choose(const FileDialogRequest& request) {
    QFileDialog dialog(nullptr, request.title, request.proposed, request.filter);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!request.defaultSuffix.isEmpty()) {
        dialog.setDefaultSuffix(request.defaultSuffix);
    }
    dialog.selectFile(QFileInfo(request.proposed).fileName());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().front();
}

QString TransferDialogs::FolderOf(const QString& path) {
    return QFileInfo(path).absolutePath();
}

}  // namespace tarvo
