#include "QtMessageBox.h"

#include <QMessageBox>
#include <QThread>

namespace tarvo {

QtMessageBox::QtMessageBox(QString caption, QObject* parent)
    : QObject(parent), caption_(std::move(caption)) {}

void QtMessageBox::Show(std::string_view text) {
    QString qtext = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    if (QThread::currentThread() == thread()) {
        ShowOnThisThread(qtext);
        return;
    }
    // Not waited for: the other thread may be one the interface is about to join.
    QMetaObject::invokeMethod(
        this, [this, qtext] { ShowOnThisThread(qtext); }, Qt::QueuedConnection);
}

void QtMessageBox::ShowOnThisThread(const QString& text) {
    shown_.append(text);
    if (recordOnly_) {
        return;
    }
    QMessageBox box(QMessageBox::Warning, caption_, text.trimmed(), QMessageBox::Ok, parentWindow_);
    box.exec();
}

}  // namespace tarvo
