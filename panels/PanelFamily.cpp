#include "panels/PanelFamily.h"

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

// The fieldbus pages: always filled from their definition file, only their window place
// goes into projects, rows labelled from 0.
constexpr PanelTraits FieldbusTraits() {
    PanelTraits traits;
    traits.definitionOnly = true;
    traits.projectRows = false;
    traits.labelsFromZero = true;
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
    {"DrvPanelF002", "EtherCAT", 21, 0, 32825, 150, 1138, FieldbusTraits()},
    {"DrvPanelF002", "PdoOther", 22, 32826, 32826, 150, 1138, FieldbusTraits()},
    {"DrvPanelF002", "RPDO1", 23, 0, 32832, 150, 1138, FieldbusTraits()},
    {"DrvPanelF002", "RPDO2", 24, 0, 32833, 150, 1138, FieldbusTraits()},
    {"DrvPanelF002", "RPDO3", 25, 0, 32834, 150, 1138, FieldbusTraits()},
    {"DrvPanelF002", "RPDO4", 26, 0, 32835, 150, 1138, FieldbusTraits()},
    {"DrvPanelF002", "RPDO5", 27, 0, 32836, 150, 1138, FieldbusTraits()},
    {"DrvPanelF002", "RPDO6", 28, 0, 32837, 150, 1138, FieldbusTraits()},
    {"DrvPanelF002", "RPDO7", 29, 0, 32838, 150, 1138, FieldbusTraits()},
    {"DrvPanelF002", "RPDO8", 30, 0, 32839, 150, 1138, FieldbusTraits()},
    {"DrvPanelF002", "TPDO1", 31, 0, 32840, 150, 1138, FieldbusTraits()},
    {"DrvPanelF002", "TPDO2", 32, 0, 32841, 150, 1138, FieldbusTraits()},
    {"DrvPanelF002", "TPDO3", 33, 0, 32852, 150, 1138, FieldbusTraits()},
    {"DrvPanelF002", "TPDO4", 34, 0, 32851, 150, 1138, FieldbusTraits()},
    {"DrvPanelF002", "TPDO5", 35, 0, 32850, 150, 1138, FieldbusTraits()},
    {"DrvPanelF002", "TPDO6", 36, 0, 32849, 150, 1138, FieldbusTraits()},
    {"DrvPanelF002", "TPDO7", 37, 0, 32848, 150, 1138, FieldbusTraits()},
    {"DrvPanelF002", "TPDO8", 38, 0, 32847, 150, 1138, FieldbusTraits()},
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
