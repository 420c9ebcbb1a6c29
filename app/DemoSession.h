#pragma once

#include <QObject>
#include <QProcess>
#include <QString>

namespace tarvo {

// `tarvostep --demo`: runs the simulated drive on a pseudo-terminal linked as dev/ttySIM0
// of the program folder for this run, and stops it when the program ends.
class DemoSession : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kPortName = "ttySIM0";

    explicit DemoSession(QString programFolder, QObject* parent = nullptr);
    ~DemoSession() override;

    // Starts the simulator and waits (at most a few seconds) for its port link; false with
    // the reason in Error() when it cannot be started.
    bool Start();
    void Stop();
    const QString& Error() const { return error_; }

private:
    QString programFolder_;
    QProcess simulator_;
    QString error_;
};

}  // namespace tarvo
