#pragma once

#include <sys/prctl.h>

#include <csignal>

#include <QDeadlineTimer>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <vector>

namespace tarvo::test {

// tarvo-drivesim as a child process with its console, for asking it what it recorded.
class ScopeDrive {
public:
    ScopeDrive(const QString& folder, const QStringList& extra = {}) {
        process_.setProgram(QStringLiteral(TARVO_STAGE "/tarvo-drivesim"));
        process_.setArguments(QStringList{"--folder", folder, "--link", "ttySIM0", "--node", "1",
                                          "--quiet", "--static-inputs"} +
                              extra);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // The drive ends with the test even when the test is killed or stopped by a
        // sanitizer: otherwise it keeps the test's output open and CTest waits on it.
        process_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        process_.start();
    }
    ~ScopeDrive() {
        if (process_.state() != QProcess::NotRunning) {
            process_.write("quit\n");
            if (!process_.waitForFinished(2000)) {
                process_.kill();
                process_.waitForFinished(1000);
            }
        }
    }

    // Waits for a line that starts with `prefix`; the line, or empty on timeout.
    QByteArray WaitLine(const QByteArray& prefix, int milliseconds = 15000) {
        QDeadlineTimer deadline(milliseconds);
        for (;;) {
            int at = 0;
            while (at < output_.size()) {
                int end = output_.indexOf('\n', at);
                if (end < 0) {
                    break;
                }
                QByteArray line = output_.mid(at, end - at);
                at = end + 1;
                if (line.startsWith(prefix)) {
                    output_.remove(0, at);
                    return line;
                }
            }
            if (deadline.hasExpired() || process_.state() == QProcess::NotRunning) {
                return {};
            }
            process_.waitForReadyRead(100);
            output_ += process_.readAllStandardOutput();
        }
    }

    // The capture's record as the drive holds it.
    std::vector<uint8_t> Record() {
        process_.write("record\n");
        process_.waitForBytesWritten(1000);
        QList<QByteArray> words = WaitLine("record ").split(' ');
        std::vector<uint8_t> bytes;
        if (words.size() == 3) {
            QByteArray raw = QByteArray::fromHex(words[2]);
            bytes.assign(raw.begin(), raw.end());
        }
        return bytes;
    }

private:
    QProcess process_;
    QByteArray output_;
};

}  // namespace tarvo::test
