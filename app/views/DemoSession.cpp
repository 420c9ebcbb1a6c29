#include "app/views/DemoSession.h"

#include <sys/prctl.h>

#include <csignal>

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QThread>

#include "platform/AtomicFile.h"

namespace tarvo {

DemoSession::DemoSession(QString programFolder, QObject* parent)
    : QObject(parent), programFolder_(std::move(programFolder)) {}

DemoSession::~DemoSession() {
    Stop();
}

bool DemoSession::Start(bool can, bool console) {
    QString program = programFolder_ + "/tarvo-drivesim";
    if (!QFileInfo(program).isExecutable()) {
        error_ = program + " not found";
        return false;
    }
    QString ready = programFolder_ + (can ? "/dev/cansimdemo" : QString("/dev/") + kPortName);
    QFile::remove(ready);  // left over from an earlier run, it points nowhere
    QStringList arguments{"--folder", programFolder_, "--node", "1", "--quiet"};
    if (!console) {
        arguments << "--no-console";
    }
    if (can) {
        QString settings = programFolder_ + "/dev/demo-can.ini";
        QDir().mkpath(programFolder_ + "/dev");
        std::string error =
            AtomicFile::Write(settings.toStdString(),
                              "[can]\r\nbackend=sim\r\nsocket=" + ready.toStdString() + "\r\n");
        if (!error.empty()) {
            error_ = QString::fromStdString(error);
            return false;
        }
        // The CAN library reads its settings from there for this run only.
        qputenv("TARVO_CAN_INI", settings.toLocal8Bit());
        arguments << "--can-sim" << ready;
    } else {
        arguments << "--link" << kPortName;
    }
    simulator_.setProgram(program);
    simulator_.setArguments(arguments);
    simulator_.setWorkingDirectory(programFolder_);
    // The simulated drive ends with the program, even when the program is killed.
    simulator_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    if (console) {
        // The terminal belongs to the simulated drive's console for this run.
        simulator_.setProcessChannelMode(QProcess::ForwardedChannels);
        simulator_.setInputChannelMode(QProcess::ForwardedInputChannel);
    } else {
        simulator_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        simulator_.setStandardOutputFile(QProcess::nullDevice());
    }
    simulator_.start();
    if (!simulator_.waitForStarted(3000)) {
        error_ = "cannot start " + program + ": " + simulator_.errorString();
        return false;
    }
    return WaitFor(ready);
}

bool DemoSession::WaitFor(const QString& path) {
    QDeadlineTimer deadline(5000);
    while (!QFileInfo::exists(path)) {
        if (deadline.hasExpired() || simulator_.state() != QProcess::Running) {
            error_ = "the simulated drive did not make " + path;
            Stop();
            return false;
        }
        QThread::msleep(20);
    }
    return true;
}

void DemoSession::Stop() {
    if (simulator_.state() == QProcess::NotRunning) {
        return;
    }
    simulator_.terminate();
    if (!simulator_.waitForFinished(2000)) {
        simulator_.kill();
        simulator_.waitForFinished(1000);
    }
}

}  // namespace tarvo
