#pragma once

#include "transfer/views/TransferViewContext.h"

namespace tarvo {

// The file dialogs of the transfer views.
class TransferDialogs {
public:
    static QString Choose(const FileDialogRequest& request);
    // The folder of a chosen file, for the next dialog.
    static QString FolderOf(const QString& path);
};

}  // namespace tarvo
