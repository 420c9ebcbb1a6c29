#pragma once

#include <QObject>
#include <QString>

#include "platform/MessageBox.h"

class QWidget;

namespace tarvo {

// Shows the core's messages in modal message boxes on the user-interface thread; texts
// from other threads (the dictionary loader) are handed over to it. In tests
// (`recordOnly`) the texts are only kept.
class QtMessageBox : public QObject, public MessageBox {
    Q_OBJECT
public:
    explicit QtMessageBox(QString caption, QObject* parent = nullptr);

    void Show(std::string_view text) override;
    void ShowWithIcon(std::string_view text, Icon icon) override;

    void SetParentWindow(QWidget* window) { parentWindow_ = window; }
    void SetCaption(QString caption) { caption_ = std::move(caption); }
    void SetRecordOnly(bool recordOnly) { recordOnly_ = recordOnly; }
    const QStringList& Shown() const { return shown_; }

private:
    void ShowOnThisThread(const QString& text, Icon icon);

    QString caption_;
    QWidget* parentWindow_ = nullptr;
    bool recordOnly_ = false;
    QStringList shown_;
};

}  // namespace tarvo
