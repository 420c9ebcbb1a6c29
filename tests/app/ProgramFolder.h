#pragma once

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

namespace tarvo::test {

// A program folder of the test's own: data/ points at the staged one (libraries, EN.rcc,
// the data file), sys/ is empty so that the staged settings file is never touched.
class ProgramFolder {
public:
    explicit ProgramFolder(bool withData = true) {
        QDir root(dir_.path());
        root.mkpath(QStringLiteral("sys"));
        root.mkpath(QStringLiteral("dev"));
        if (withData) {
            QFile::link(QStringLiteral(TARVO_STAGE "/data"), root.filePath(QStringLiteral("data")));
        } else {
            root.mkpath(QStringLiteral("data"));
        }
    }

    QString Path() const { return dir_.path(); }
    std::string PathText() const { return dir_.path().toStdString(); }
    QString File(const QString& relative) const { return dir_.filePath(relative); }

    void Write(const QString& relative, const QByteArray& content) const {
        QFile file(File(relative));
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            file.write(content);
        }
    }

private:
    QTemporaryDir dir_;
};

}  // namespace tarvo::test
