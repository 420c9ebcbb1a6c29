#pragma once

namespace tarvo {

class AppSettings;
class MainFrame;
class ResourceSet;
class SharedState;

// What the views of the subsystems are made with: the shared state (dictionary, link, value
// conversions, switches), the interface language's resources, the settings file's owner and
// the main frame (receiver of WM_OPEN_VIEW, owner of the other views).
struct ViewServices {
    SharedState& state;
    const ResourceSet& resources;
    AppSettings& settings;
    MainFrame& mainFrame;
};

}  // namespace tarvo
