#include "panels/drivecontrol/views/DriveControlView.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "protocol/DriveObjects.h"
#include "resources/ResourceSet.h"

namespace tarvo {

namespace {

using DeviceControl::State;
using DeviceControl::Transition;
using Motion = DriveControlModel::Motion;
using Notice = DriveControlModel::Notice;

constexpr int kStateNames = 1302;  // 1302-1309 the states, 1310 an unknown one
constexpr int kTransitionNames = 1311;
constexpr int kBitNames = 1318;
constexpr int kErrorClassNames = 1325;
constexpr uint32_t kProfileVelocity = ObjectAddressOf(0x6081, 0);
constexpr uint32_t kProfileAcceleration = ObjectAddressOf(0x6083, 0);

constexpr uint16_t kWatchedBits[] = {
    DeviceControl::StatusBit::kVoltageEnabled,
    DeviceControl::StatusBit::kWarning,
    DeviceControl::StatusBit::kRemote,
    DeviceControl::StatusBit::kTargetReached,
    DeviceControl::StatusBit::kInternalLimitActive,
    DeviceControl::StatusBit::kFollowingError,
};

// The modes the choice names, with their texts (1340-1354).
constexpr int8_t kModes[] = {1, 3, 4, 6, 7, 8, 9, 10, -1, -2, -3, -4, -5, -6, -7};

// Where each state stands in the diagram (row, column), in the order of the State enum.
constexpr int kDiagramPlace[][2] = {{0, 0}, {2, 0}, {4, 0}, {6, 0}, {8, 0}, {8, 2}, {0, 2}, {2, 2}};

// The colour a state is lit in: green to run, amber while stopping, red for a fault.
QString StateColour(State state) {
    switch (state) {
        case State::OperationEnabled:
            return QStringLiteral("#23913a");
        case State::QuickStopActive:
            return QStringLiteral("#d98b00");
        case State::FaultReactionActive:
        case State::Fault:
            return QStringLiteral("#c62828");
        case State::Unknown:
            return QStringLiteral("#6d6d6d");
        default:
            return QStringLiteral("#2d6cb5");
    }
}

QString Lit(const QString& colour) {
    return QStringLiteral(
               "QLabel { background: %1; color: white; font-weight: bold; "
               "border: 2px solid #202020; border-radius: 4px; padding: 4px; }")
        .arg(colour);
}

const QString kUnlit = QStringLiteral(
    "QLabel { background: #eef1f4; color: #7a8088; border: 1px solid #b8bec6; "
    "border-radius: 4px; padding: 4px; }");

QLabel* Arrow(const QString& text, QWidget* parent) {
    auto* arrow = new QLabel(text, parent);
    arrow->setAlignment(Qt::AlignCenter);
    arrow->setStyleSheet(QStringLiteral("color: #7a8088; font-size: 14pt;"));
    return arrow;
}

}  // namespace

DriveControlView::DriveControlView(const Services& services, QWidget* parent)
    : QWidget(parent), services_(services), model_(services.link, this) {
    setWindowTitle(Text(1301));
    auto* layout = new QVBoxLayout(this);
    stateLabel_ = new QLabel(this);
    stateLabel_->setObjectName(QStringLiteral("driveState"));
    stateLabel_->setAlignment(Qt::AlignCenter);
    stateLabel_->setMinimumHeight(56);
    layout->addWidget(stateLabel_);

    auto* middle = new QHBoxLayout;
    middle->addWidget(BuildDiagram(), 3);
    auto* right = new QVBoxLayout;
    right->addWidget(BuildBits());
    right->addWidget(BuildMode());
    right->addStretch();
    middle->addLayout(right, 2);
    layout->addLayout(middle);
    layout->addWidget(BuildTransitions());
    auto* motion = new QHBoxLayout;
    motion->addWidget(BuildJog());
    motion->addWidget(BuildMove());
    layout->addLayout(motion);
    notice_ = new QLabel(this);
    notice_->setObjectName(QStringLiteral("driveNotice"));
    notice_->setWordWrap(true);
    notice_->setStyleSheet(QStringLiteral("color: #c62828; font-weight: bold;"));
    layout->addWidget(notice_);

    model_.SetChanged([this] { ShowModel(); });
    connect(qApp, &QApplication::focusChanged, this, &DriveControlView::OnFocusChanged);
    // Opening reads (and registers the monitor entries); it never writes.
    model_.Show();
}

QString DriveControlView::Text(int id) const {
    return services_.resources.String(id);
}

QString DriveControlView::StateText(State state) const {
    return Text(kStateNames + static_cast<int>(state));
}

QString DriveControlView::ModeText(int8_t mode) const {
    for (size_t i = 0; i < std::size(kModes); ++i) {
        if (kModes[i] == mode) {
            return Text(1340 + static_cast<int>(i));
        }
    }
    return QString::number(mode);
}

QWidget* DriveControlView::BuildDiagram() {
    auto* box = new QGroupBox(Text(1301), this);
    auto* grid = new QGridLayout(box);
    for (int s = 0; s < DeviceControl::kStateCount; ++s) {
        auto* label = new QLabel(StateText(static_cast<State>(s)), box);
        label->setAlignment(Qt::AlignCenter);
        label->setMinimumSize(170, 30);
        grid->addWidget(label, kDiagramPlace[s][0], kDiagramPlace[s][1]);
        stateBoxes_[static_cast<size_t>(s)] = label;
    }
    for (int row : {1, 3, 5, 7}) {
        grid->addWidget(Arrow(QStringLiteral("↕"), box), row, 0);
    }
    grid->addWidget(Arrow(QStringLiteral("↓"), box), 1, 2);
    grid->addWidget(Arrow(QStringLiteral("⇄"), box), 8, 1);
    grid->addWidget(Arrow(QStringLiteral("→"), box), 0, 1);
    return box;
}

QWidget* DriveControlView::BuildBits() {
    auto* box = new QGroupBox(Text(1378), this);
    auto* grid = new QGridLayout(box);
    for (size_t i = 0; i < bits_.size(); ++i) {
        bits_[i] = new QLabel(box);
        grid->addWidget(bits_[i], static_cast<int>(i / 2), static_cast<int>(i % 2));
    }
    errorCode_ = new QLabel(box);
    errorCode_->setObjectName(QStringLiteral("errorCode"));
    grid->addWidget(errorCode_, 3, 0, 1, 2);
    return box;
}

QWidget* DriveControlView::BuildTransitions() {
    auto* box = new QGroupBox(Text(1377), this);
    auto* row = new QHBoxLayout(box);
    for (int t = 0; t < DeviceControl::kTransitionCount; ++t) {
        auto transition = static_cast<Transition>(t);
        auto* button = new QPushButton(Text(kTransitionNames + t), box);
        if (transition == Transition::QuickStop) {
            button->setStyleSheet(
                QStringLiteral("QPushButton:enabled { background: #c62828; color: white; "
                               "font-weight: bold; }"));
        }
        connect(button, &QPushButton::clicked, this,
                [this, transition] { model_.RequestTransition(transition); });
        row->addWidget(button);
        transitionButtons_[static_cast<size_t>(t)] = button;
    }
    return box;
}

QWidget* DriveControlView::BuildMode() {
    auto* box = new QGroupBox(Text(1338), this);
    auto* form = new QVBoxLayout(box);
    mode_ = new QComboBox(box);
    connect(mode_, &QComboBox::activated, this, [this](int index) {
        if (!showingModes_) {
            model_.ChooseMode(static_cast<int8_t>(mode_->itemData(index).toInt()));
        }
    });
    form->addWidget(mode_);
    modeDisplay_ = new QLabel(box);
    form->addWidget(modeDisplay_);
    return box;
}

QWidget* DriveControlView::BuildJog() {
    auto* box = new QGroupBox(Text(1355), this);
    auto* grid = new QGridLayout(box);
    grid->addWidget(new QLabel(Text(1358), box), 0, 0);
    jogVelocity_ = new QDoubleSpinBox(box);
    jogVelocity_->setRange(0, 6000);
    jogVelocity_->setValue(60);
    jogVelocity_->setSuffix(
        " " + QString::fromStdString(services_.units.TypeLabel(DriveObject::kTargetVelocity)));
    grid->addWidget(jogVelocity_, 0, 1);
    jogMinus_ = new QPushButton(Text(1356), box);
    jogPlus_ = new QPushButton(Text(1357), box);
    for (QPushButton* button : {jogMinus_, jogPlus_}) {
        button->setMinimumHeight(44);
        bool positive = button == jogPlus_;
        connect(button, &QPushButton::pressed, this, [this, positive] { Jog(positive); });
        connect(button, &QPushButton::released, this, [this] { model_.JogRelease(); });
    }
    grid->addWidget(jogMinus_, 1, 0);
    grid->addWidget(jogPlus_, 1, 1);
    return box;
}

QWidget* DriveControlView::BuildMove() {
    auto* box = new QGroupBox(Text(1359), this);
    auto* grid = new QGridLayout(box);
    target_ = new QSpinBox(box);
    target_->setRange(-2147483647, 2147483647);
    target_->setValue(10000);
    target_->setSuffix(" " + Text(1376));
    relative_ = new QCheckBox(Text(1361), box);
    relative_->setChecked(true);
    moveVelocity_ = new QDoubleSpinBox(box);
    moveVelocity_->setRange(0, 6000);
    moveVelocity_->setValue(600);
    moveVelocity_->setSuffix(" " +
                             QString::fromStdString(services_.units.TypeLabel(kProfileVelocity)));
    acceleration_ = new QDoubleSpinBox(box);
    acceleration_->setRange(1, 5000);
    acceleration_->setValue(100);
    acceleration_->setSuffix(
        " " + QString::fromStdString(services_.units.TypeLabel(kProfileAcceleration)));
    start_ = new QPushButton(Text(1363), box);
    stop_ = new QPushButton(Text(1364), box);
    connect(start_, &QPushButton::clicked, this, &DriveControlView::Start);
    connect(stop_, &QPushButton::clicked, this, [this] { model_.MoveStop(); });
    position_ = new QLabel(box);
    followingError_ = new QLabel(box);
    velocity_ = new QLabel(box);
    grid->addWidget(new QLabel(Text(1360), box), 0, 0);
    grid->addWidget(target_, 0, 1);
    grid->addWidget(relative_, 0, 2);
    grid->addWidget(new QLabel(Text(1358), box), 1, 0);
    grid->addWidget(moveVelocity_, 1, 1);
    grid->addWidget(new QLabel(Text(1362), box), 2, 0);
    grid->addWidget(acceleration_, 2, 1);
    grid->addWidget(start_, 1, 2);
    grid->addWidget(stop_, 2, 2);
    grid->addWidget(new QLabel(Text(1365), box), 3, 0);
    grid->addWidget(position_, 3, 1, 1, 2);
    grid->addWidget(new QLabel(Text(1366), box), 4, 0);
    grid->addWidget(followingError_, 4, 1, 1, 2);
    grid->addWidget(new QLabel(Text(1367), box), 5, 0);
    grid->addWidget(velocity_, 5, 1, 1, 2);
    return box;
}

void DriveControlView::Jog(bool positive) {
    std::optional<int32_t> raw =
        services_.units.Raw(DriveObject::kTargetVelocity, jogVelocity_->value());
    if (raw) {
        model_.JogPress(positive ? *raw : -*raw);
    }
}

void DriveControlView::Start() {
    std::optional<int32_t> velocity = services_.units.Raw(kProfileVelocity, moveVelocity_->value());
    std::optional<int32_t> acceleration =
        services_.units.Raw(kProfileAcceleration, acceleration_->value());
    if (velocity && acceleration) {
        model_.MoveStart({target_->value(), relative_->isChecked(),
                          static_cast<uint32_t>(*velocity), static_cast<uint32_t>(*acceleration)});
    }
}

void DriveControlView::OnFocusChanged(QWidget* old, QWidget* now) {
    if (old != nullptr && isAncestorOf(old) && (now == nullptr || !isAncestorOf(now))) {
        model_.FocusLost();
    }
}

void DriveControlView::hideEvent(QHideEvent* event) {
    model_.FocusLost();
    QWidget::hideEvent(event);
}

void DriveControlView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && !isActiveWindow()) {
        model_.FocusLost();
    }
    QWidget::changeEvent(event);
}

void DriveControlView::ShowModel() {
    const bool connected = model_.Connected();
    const State state = model_.StateKnown() ? model_.state() : State::Unknown;
    QString title = !connected            ? Text(1373)
                    : model_.StateKnown() ? StateText(state)
                                          : QStringLiteral("…");
    if (connected && model_.StateKnown() && !model_.StateFresh()) {
        title += QStringLiteral("\n(") + Text(1374) + QStringLiteral(")");
    }
    if (model_.motion() == Motion::Jogging) {
        title += QStringLiteral(" — ") + Text(1380);
    } else if (model_.motion() == Motion::Moving) {
        title += QStringLiteral(" — ") + Text(1379);
    }
    stateLabel_->setText(title);
    QString colour =
        connected && model_.StateKnown() ? StateColour(state) : QStringLiteral("#9e9e9e");
    stateLabel_->setStyleSheet(
        QStringLiteral("QLabel#driveState { background: %1; color: white; font-size: 20pt; "
                       "font-weight: bold; border-radius: 6px; padding: 6px; %2 }")
            .arg(colour, model_.StateFresh() ? QString() : QStringLiteral("font-style: italic;")));
    for (int s = 0; s < DeviceControl::kStateCount; ++s) {
        bool lit = connected && model_.StateKnown() && static_cast<int>(state) == s;
        stateBoxes_[static_cast<size_t>(s)]->setStyleSheet(
            lit ? Lit(StateColour(static_cast<State>(s))) : kUnlit);
    }

    const uint16_t word = model_.Statusword();
    for (size_t i = 0; i < bits_.size(); ++i) {
        bool on = model_.StateKnown() && (word & kWatchedBits[i]) != 0;
        bool alarm = i == 1 || i == 4 || i == 5;  // warning, internal limit, following error
        bits_[i]->setText(QStringLiteral("● ") + Text(kBitNames + static_cast<int>(i)));
        bits_[i]->setStyleSheet(
            on ? QStringLiteral("color: %1; font-weight: bold;").arg(alarm ? "#c62828" : "#23913a")
               : QStringLiteral("color: #a0a6ad;"));
    }
    QString error = Text(1324) + QStringLiteral(": ");
    if (auto code = model_.ErrorCode()) {
        auto errorClass = static_cast<int>(DeviceControl::ClassOf(*code));
        error += QStringLiteral("0x") +
                 QString::number(*code, 16).toUpper().rightJustified(4, QLatin1Char('0')) +
                 QStringLiteral(" ") + Text(kErrorClassNames + errorClass);
    } else {
        error += QStringLiteral("—");
    }
    errorCode_->setText(error);
    errorCode_->setStyleSheet(model_.ErrorCode().value_or(0) != 0
                                  ? QStringLiteral("color: #c62828; font-weight: bold;")
                                  : QString());

    for (int t = 0; t < DeviceControl::kTransitionCount; ++t) {
        transitionButtons_[static_cast<size_t>(t)]->setEnabled(
            model_.TransitionEnabled(static_cast<Transition>(t)));
    }

    showingModes_ = true;
    std::vector<int8_t> offered = model_.OfferedModes();
    if (mode_->count() != static_cast<int>(offered.size())) {
        mode_->clear();
        for (int8_t mode : offered) {
            mode_->addItem(ModeText(mode), static_cast<int>(mode));
        }
    }
    int chosen = model_.ModeChosen() ? mode_->findData(static_cast<int>(*model_.ModeChosen())) : -1;
    mode_->setCurrentIndex(chosen);
    mode_->setEnabled(model_.ModeChoiceEnabled());
    showingModes_ = false;
    modeDisplay_->setText(
        Text(1339) + QStringLiteral(": ") +
        (model_.ModeDisplay() ? ModeText(*model_.ModeDisplay()) : QStringLiteral("—")));

    const bool allowed = model_.MotionAllowed();
    const QString why = allowed ? QString() : Text(1375);
    for (QPushButton* button : {jogMinus_, jogPlus_}) {
        // A held button stays enabled so that its release reaches the model.
        button->setEnabled(allowed || (model_.motion() == Motion::Jogging && button->isDown()));
        button->setToolTip(why);
    }
    start_->setEnabled(allowed);
    start_->setToolTip(why);
    stop_->setEnabled(model_.motion() == Motion::Moving);

    auto show = [this](QLabel* label, std::optional<int32_t> raw, uint32_t key) {
        if (!raw) {
            label->setText(QStringLiteral("—"));
            return;
        }
        std::optional<double> value = services_.units.Show(key, *raw);
        QString unit = QString::fromStdString(services_.units.ShowLabel(key));
        label->setText(value ? QStringLiteral("%1 %2")
                                   .arg(*value, 0, 'f', unit == "DEC" ? 0 : 1)
                                   .arg(unit == "DEC" ? Text(1376) : unit)
                             : QString::number(*raw));
    };
    show(position_, model_.PositionActual(), DriveObject::kPositionActualValue);
    show(followingError_, model_.FollowingError(), ObjectAddressOf(0x60F4, 0));
    show(velocity_, model_.VelocityActual(), DriveObject::kVelocityActualValue);
    ShowNotice();
}

void DriveControlView::ShowNotice() {
    switch (model_.notice()) {
        case Notice::None:
            notice_->clear();
            break;
        case Notice::Refused:
            notice_->setText(Text(1368).arg(QString::fromStdString(model_.RefusalText())));
            break;
        case Notice::FaultWhileMoving:
            notice_->setText(Text(1369));
            break;
        case Notice::LeftWhileMoving:
            notice_->setText(Text(1370));
            break;
        case Notice::LinkLostWhileMoving:
            notice_->setText(Text(1371));
            break;
        case Notice::StopRefused:
            notice_->setText(Text(1372).arg(QString::fromStdString(model_.RefusalText())));
            break;
    }
}

intptr_t DriveControlView::onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    return model_.onMessage(message, wParam, lParam);
}

}  // namespace tarvo
