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

// A parameter panel: its title is the string of its form's number.
constexpr PanelDescription ListPanel(const char* className, const char* panelName, int panelNumber,
                                     uint32_t command, int form, int listControl,
                                     PanelTraits traits = kCommon) {
    return {className, panelName, panelNumber, command, form, listControl, form, nullptr, traits};
}

// A fieldbus page: the common list form, titled with its name unless a title is given.
constexpr PanelDescription FieldbusPage(const char* panelName, int panelNumber, uint32_t command,
                                        int titleString = 0, const char* fixedTitle = nullptr) {
    return {"DrvPanelF002",
            panelName,
            panelNumber,
            command,
            150,
            1138,
            titleString,
            fixedTitle != nullptr ? fixedTitle : panelName,
            FieldbusTraits()};
}

// className, panelName (definition file and section), project number, menu command, form,
// list control. A new panel is one more row, for instance on the common list form and titled
// like its menu item: {"NewPanel", "NewPanel", 50, 1260, 150, 1138, 0, nullptr, kCommon}.
constexpr PanelDescription kMembers[] = {
    ListPanel("BaseOperate", "BasicOperate", 2, 1227, 126, 1134),
    ListPanel("PositCircle", "PositionLoop", 3, 1215, 132, 1067),
    ListPanel("SpeedCircle", "VelocityLoop", 4, 1217, 133, 1068),
    ListPanel("CurrentCircle", "CurrentLoop", 5, 1248, 121, 1138),
    ListPanel("AnalogInput", "AnalogInput", 7, 1219, 146, 1135),
    ListPanel("FuncConfig", "DinFunctionConfig", 8, 1245, 156, 1138, FuncConfigTraits()),
    ListPanel("SpeedMode", "AnalogVelocityMode", 9, 1220, 134, 1069),
    ListPanel("SpeedPhaseMode", "multiVelocityMode", 10, 1221, 135, 1070),
    ListPanel("TorqueMode", "AnalogTorqueMode", 11, 1222, 136, 1071, TorqueModeTraits()),
    ListPanel("PulseMode", "PulseMode", 12, 1223, 138, 1072),
    ListPanel("AutoSeverseMode", "AutoReverse", 13, 1224, 139, 1073),
    ListPanel("PositionMode", "MultiPositionMode", 14, 1225, 141, 1074),
    ListPanel("HomingMode", "HomingMode", 15, 1253, 137, 1254),
    ListPanel("ClockSwingMode", "ClockSwing", 16, 1226, 142, 1075),
    ListPanel("DrvCfg", "DriverConfig", 17, 1233, 131, 1066),
    ListPanel("ErrorGroup", "ErrorHistory", 20, 1228, 127, 1065, ErrorGroupTraits()),
    ListPanel("DriverProterty", "DriverProperty", 46, 1234, 143, 1076, DriverProtertyTraits()),
    ListPanel("MotorParam", "MotorConfig", 47, 1229, 129, 1063, MotorParamTraits()),
    FieldbusPage("EtherCAT", 21, 32825),
    FieldbusPage("PdoOther", 22, 32826, 32826, "Configure"),
    FieldbusPage("RPDO1", 23, 32832),
    FieldbusPage("RPDO2", 24, 32833),
    FieldbusPage("RPDO3", 25, 32834),
    FieldbusPage("RPDO4", 26, 32835),
    FieldbusPage("RPDO5", 27, 32836),
    FieldbusPage("RPDO6", 28, 32837),
    FieldbusPage("RPDO7", 29, 32838),
    FieldbusPage("RPDO8", 30, 32839),
    FieldbusPage("TPDO1", 31, 32840),
    FieldbusPage("TPDO2", 32, 32841),
    FieldbusPage("TPDO3", 33, 32852),
    FieldbusPage("TPDO4", 34, 32851),
    FieldbusPage("TPDO5", 35, 32850),
    FieldbusPage("TPDO6", 36, 32849),
    FieldbusPage("TPDO7", 37, 32848),
    FieldbusPage("TPDO8", 38, 32847),
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
