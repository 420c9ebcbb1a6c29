#pragma once

#include <QWidget>
#include <array>

#include "panels/drivecontrol/DriveControlModel.h"
#include "panels/drivecontrol/DriveUnits.h"
#include "platform/MessageTarget.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace tarvo {

class ResourceSet;

// The Drive Control view: the drive profile's state diagram with the present state lit, the
// status bits, the error code, the transition buttons, the mode of operation, hold-to-run
// jog buttons and a profile position move. It renders DriveControlModel and hands it the
// user's actions; the model decides what may be sent.
class DriveControlView : public QWidget, public MessageTarget {
    Q_OBJECT
public:
    struct Services {
        IoPanelLink link;
        const ResourceSet& resources;
        DriveUnits units{nullptr, nullptr, nullptr};
    };

    explicit DriveControlView(const Services& services, QWidget* parent = nullptr);

    intptr_t onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

    DriveControlModel& Model() { return model_; }
    QPushButton* TransitionButton(DeviceControl::Transition transition) const {
        return transitionButtons_[static_cast<size_t>(transition)];
    }
    QPushButton* JogButton(bool positive) const { return positive ? jogPlus_ : jogMinus_; }
    QPushButton* StartButton() const { return start_; }
    QPushButton* StopButton() const { return stop_; }
    QComboBox* ModeChoice() const { return mode_; }
    QLabel* StateLabel() const { return stateLabel_; }
    QLabel* NoticeLabel() const { return notice_; }

protected:
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QWidget* BuildDiagram();
    QWidget* BuildBits();
    QWidget* BuildTransitions();
    QWidget* BuildMode();
    QWidget* BuildJog();
    QWidget* BuildMove();
    void ShowModel();
    void ShowNotice();
    QString Text(int id) const;
    QString StateText(DeviceControl::State state) const;
    QString ModeText(int8_t mode) const;
    void Jog(bool positive);
    void Start();
    // Stops a jog when the application loses the focus (another window is activated).
    void OnFocusChanged(QWidget* old, QWidget* now);

    Services services_;
    DriveControlModel model_;
    QLabel* stateLabel_ = nullptr;
    std::array<QLabel*, DeviceControl::kStateCount> stateBoxes_{};
    std::array<QLabel*, 6> bits_{};
    QLabel* errorCode_ = nullptr;
    std::array<QPushButton*, DeviceControl::kTransitionCount> transitionButtons_{};
    QComboBox* mode_ = nullptr;
    QLabel* modeDisplay_ = nullptr;
    QDoubleSpinBox* jogVelocity_ = nullptr;
    QPushButton* jogMinus_ = nullptr;
    QPushButton* jogPlus_ = nullptr;
    QSpinBox* target_ = nullptr;
    QCheckBox* relative_ = nullptr;
    QDoubleSpinBox* moveVelocity_ = nullptr;
    QDoubleSpinBox* acceleration_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* stop_ = nullptr;
    QLabel* position_ = nullptr;
    QLabel* followingError_ = nullptr;
    QLabel* velocity_ = nullptr;
    QLabel* notice_ = nullptr;
    bool showingModes_ = false;
};

}  // namespace tarvo
