#pragma once

#include <QObject>
#include <QProcess>
#include <QString>
#include <cstdint>

namespace tarvo {

// `tarvostep --demo`: runs the simulated drive on a pseudo-terminal linked as dev/ttySIM0
// of the program folder for this run, and stops it when the program ends. With `--can` the
// drive serves the simulated CAN bus at dev/cansimdemo instead, and the CAN library is
// pointed at that bus for this run only (dev/demo-can.ini), leaving sys/can.ini alone.
class DemoSession : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kPortName = "ttySIM0";
    static constexpr uint32_t kCanBitRateCode = 0x001C;  // the simulated bus's 500 kbit/s

    explicit DemoSession(QString programFolder, QObject* parent = nullptr);
    ~DemoSession() override;

    // Starts the simulator and waits (at most a few seconds) for its port link; false with
    // the reason in Error() when it cannot be started. With `console` the simulator reads
    // its commands (error, pin, clear ...) from the program's terminal and prints there.
    bool Start(bool can = false, bool console = false);
    void Stop();
    const QString& Error() const { return error_; }

private:
    // Waits for the file the simulator makes when it is ready.
    bool WaitFor(const QString& path);

    QString programFolder_;
    QProcess simulator_;
    QString error_;
};

}  // namespace tarvo
