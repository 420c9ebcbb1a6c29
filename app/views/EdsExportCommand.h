#pragma once

class QWidget;

namespace tarvo {

class ResourceSet;
class SharedState;

// File > Export EDS: asks where to save and writes the EDS of the loaded dictionary's data
// file, telling the outcome in a message box.
class EdsExportCommand {
public:
    static void Run(QWidget* parent, SharedState& state, const ResourceSet& resources);
};

}  // namespace tarvo
