#pragma once

#include <cstdint>

namespace tarvo {

// How one member of the panel family departs from the common list panel behaviour. The
// defaults are the common behaviour.
struct PanelTraits {
    // At creation the list always comes from the definition file, never from the project.
    bool definitionOnly = false;
    // Codes 3 and 4 save and load the list's rows (the window place is always saved).
    bool projectRows = true;
    // Code 2 (connection changed) starts or stops the read pass.
    bool followsConnection = true;
    // The first pass at creation starts only when the connection is open.
    bool firstPassNeedsConnection = false;
    // "del" renumbers the rows below each deleted one.
    bool deleteRenumbers = true;
    // "help" is enabled only while a row is selected.
    bool helpNeedsSelection = true;
    // Fixed name, value and unit column widths instead of the start-up ones.
    bool fixedColumns = false;
    // "VISIBLE STRING" entries are read by segmented upload.
    bool segmentedText = false;
    // Rows are labelled with their position from 0 (the fieldbus pages), not from 1.
    bool labelsFromZero = false;
};

// One member of the panel family: its definition file and section, project panel number,
// title string, the menu command that opens it, its form and the list control on it.
struct PanelDescription {
    const char* className;
    const char* panelName;
    int panelNumber;
    int titleString;
    uint32_t command;
    int form;
    int listControl;
    PanelTraits traits;
};

}  // namespace tarvo
