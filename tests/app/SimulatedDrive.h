#pragma once

#include <sys/prctl.h>

#include <csignal>

#include <QDeadlineTimer>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace tarvo::test {

// tarvo-drivesim as a child process, its port linked as <folder>/dev/<link>. Its console
// stays open so that a test can raise and clear drive errors.
class SimulatedDrive {
public:
    SimulatedDrive(const QString& folder, const QString& link, const QStringList& extra = {}) {
        process_.setProgram(QStringLiteral(TARVO_STAGE "/tarvo-drivesim"));
        process_.setArguments(QStringList{"--folder", folder, "--link", link, "--node", "1",
                                          "--quiet", "--static-inputs"} +
                              extra);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // The drive ends with the test even when the test is killed or stopped by a
        // sanitizer: otherwise it keeps the test's output open and CTest waits on it.
        process_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        process_.start();
    }
    ~SimulatedDrive() {
        if (process_.state() != QProcess::NotRunning) {
            process_.write("quit\n");
            if (!process_.waitForFinished(2000)) {
                process_.kill();
                process_.waitForFinished(1000);
            }
        }
    }
    SimulatedDrive(const SimulatedDrive&) = delete;
    SimulatedDrive& operator=(const SimulatedDrive&) = delete;

    // True once the simulator printed "ready" (its port and link exist then).
    bool WaitReady(int milliseconds = 10000) {
        QDeadlineTimer deadline(milliseconds);
        while (!output_.contains("ready\n")) {
            if (deadline.hasExpired() || process_.state() == QProcess::NotRunning) {
                return false;
            }
            process_.waitForReadyRead(100);
            output_ += process_.readAllStandardOutput();
        }
        return true;
    }

    void Console(const QByteArray& line) {
        process_.write(line + "\n");
        process_.waitForBytesWritten(1000);
    }

    const QByteArray& Output() const { return output_; }

private:
    QProcess process_;
    QByteArray output_;
};

}  // namespace tarvo::test
