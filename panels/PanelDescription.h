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
    // Fixed name, value and unit column widths (and so a fixed frame size) instead of the
    // start-up ones.
    bool fixedColumns = false;
    // "VISIBLE STRING" entries are read by segmented upload.
    bool segmentedText = false;
    // Rows are labelled with their position from 0 (the fieldbus pages), not from 1.
    bool labelsFromZero = false;
};

// One member of the panel family: the single statement of its definition file and section,
// project panel number, the menu command that opens it, its form, the list control on it,
// its title and its behaviour. The main frame's view of the panel is derived from it.
struct PanelDescription {
    const char* className;
    // Definition file sys/<panelName>.ini and its section.
    const char* panelName;
    int panelNumber;
    uint32_t command;
    int form;
    int listControl;
    // String-table id of the title; 0 (or an id the language lacks) falls back to fixedTitle.
    int titleString;
    // Title when there is no title string; null takes the caption of the panel's menu item.
    const char* fixedTitle;
    PanelTraits traits;
};

}  // namespace tarvo
