#include "DemoSession.h"

#include <sys/prctl.h>

#include <csignal>

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QThread>

namespace tarvo {

DemoSession::DemoSession(QString programFolder, QObject* parent)
    : QObject(parent), programFolder_(std::move(programFolder)) {}

DemoSession::~DemoSession() {
    Stop();
}

bool DemoSession::Start() {
    QString program = programFolder_ + "/tarvo-drivesim";
    if (!QFileInfo(program).isExecutable()) {
        error_ = program + " not found";
        return false;
    }
    QString link = programFolder_ + "/dev/" + kPortName;
    QFile::remove(link);  // a link left over from an earlier run points nowhere
    simulator_.setProgram(program);
    simulator_.setArguments({"--folder", programFolder_, "--link", kPortName, "--node", "1",
                             "--no-console", "--quiet"});
    simulator_.setWorkingDirectory(programFolder_);
    // The simulated drive ends with the program, even when the program is killed.
    simulator_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    simulator_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    simulator_.setStandardOutputFile(QProcess::nullDevice());
    simulator_.start();
    if (!simulator_.waitForStarted(3000)) {
        error_ = "cannot start " + program + ": " + simulator_.errorString();
        return false;
    }
    QDeadlineTimer deadline(5000);
    while (!QFileInfo::exists(link)) {
        if (deadline.hasExpired() || simulator_.state() != QProcess::Running) {
            error_ = "the simulated drive did not make " + link;
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
