#include "PanelFamily.h"

#include <algorithm>

namespace tarvo {

namespace {

constexpr PanelTraits kCommon{};

constexpr PanelTraits FuncConfigTraits() {
    PanelTraits traits;
    traits.definitionOnly = true;
    return traits;
}

constexpr PanelTraits TorqueModeTraits() {
    PanelTraits traits;
    traits.followsConnection = false;
    return traits;
}

constexpr PanelTraits MotorParamTraits() {
    PanelTraits traits;
    traits.firstPassNeedsConnection = true;
    traits.deleteRenumbers = false;
    return traits;
}

constexpr PanelTraits DriverProtertyTraits() {
    PanelTraits traits;
    traits.definitionOnly = true;
    traits.projectRows = false;
    traits.fixedColumns = true;
    traits.segmentedText = true;
    return traits;
}

constexpr PanelTraits ErrorGroupTraits() {
    PanelTraits traits;
    traits.definitionOnly = true;
    traits.projectRows = false;
    traits.firstPassNeedsConnection = true;
    traits.helpNeedsSelection = false;
    return traits;
}

constexpr PanelDescription kMembers[] = {
    {"BaseOperate", "BasicOperate", 2, 126, 1227, 126, 1134, kCommon},
    {"PositCircle", "PositionLoop", 3, 132, 1215, 132, 1067, kCommon},
    {"SpeedCircle", "VelocityLoop", 4, 133, 1217, 133, 1068, kCommon},
    {"CurrentCircle", "CurrentLoop", 5, 121, 1248, 121, 1138, kCommon},
    {"AnalogInput", "AnalogInput", 7, 146, 1219, 146, 1135, kCommon},
    {"FuncConfig", "DinFunctionConfig", 8, 156, 1245, 156, 1138, FuncConfigTraits()},
    {"SpeedMode", "AnalogVelocityMode", 9, 134, 1220, 134, 1069, kCommon},
    {"SpeedPhaseMode", "multiVelocityMode", 10, 135, 1221, 135, 1070, kCommon},
    {"TorqueMode", "AnalogTorqueMode", 11, 136, 1222, 136, 1071, TorqueModeTraits()},
    {"PulseMode", "PulseMode", 12, 138, 1223, 138, 1072, kCommon},
    {"AutoSeverseMode", "AutoReverse", 13, 139, 1224, 139, 1073, kCommon},
    {"PositionMode", "MultiPositionMode", 14, 141, 1225, 141, 1074, kCommon},
    {"HomingMode", "HomingMode", 15, 137, 1253, 137, 1254, kCommon},
    {"ClockSwingMode", "ClockSwing", 16, 142, 1226, 142, 1075, kCommon},
    {"DrvCfg", "DriverConfig", 17, 131, 1233, 131, 1066, kCommon},
    {"ErrorGroup", "ErrorHistory", 20, 127, 1228, 127, 1065, ErrorGroupTraits()},
    {"DriverProterty", "DriverProperty", 46, 143, 1234, 143, 1076, DriverProtertyTraits()},
    {"MotorParam", "MotorConfig", 47, 129, 1229, 129, 1063, MotorParamTraits()},
};

template <typename Match>
const PanelDescription* Find(Match match) {
    auto it = std::find_if(std::begin(kMembers), std::end(kMembers), match);
    return it == std::end(kMembers) ? nullptr : &*it;
}

}  // namespace

std::span<const PanelDescription> PanelFamily::Members() {
    return kMembers;
}

const PanelDescription* PanelFamily::ByCommand(uint32_t command) {
    return Find([command](const PanelDescription& d) { return d.command == command; });
}

const PanelDescription* PanelFamily::ByPanelNumber(int panelNumber) {
    return Find([panelNumber](const PanelDescription& d) { return d.panelNumber == panelNumber; });
}

}  // namespace tarvo
