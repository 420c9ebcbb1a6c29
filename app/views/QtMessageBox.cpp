#include "app/views/QtMessageBox.h"

#include <QMessageBox>
#include <QThread>

namespace tarvo {

QtMessageBox::QtMessageBox(QString caption, QObject* parent)
    : QObject(parent), caption_(std::move(caption)) {}

void QtMessageBox::Show(std::string_view text) {
    ShowWithIcon(text, Icon::kWarning);
}

void QtMessageBox::ShowWithIcon(std::string_view text, Icon icon) {
    QString qtext = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    if (QThread::currentThread() == thread()) {
        ShowOnThisThread(qtext, icon);
        return;
    }
    // Not waited for: the other thread may be one the interface is about to join.
    QMetaObject::invokeMethod(
        this, [this, qtext, icon] { ShowOnThisThread(qtext, icon); }, Qt::QueuedConnection);
}

void QtMessageBox::ShowOnThisThread(const QString& text, Icon icon) {
    shown_.append(text);
    if (recordOnly_) {
        return;
    }
    QMessageBox box(icon == Icon::kInformation ? QMessageBox::Information : QMessageBox::Warning,
                    caption_, text.trimmed(), QMessageBox::Ok, parentWindow_);
    box.exec();
}

}  // namespace tarvo
