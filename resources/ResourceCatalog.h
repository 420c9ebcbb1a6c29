#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tarvo {

// One entry of a menu: a command, a submenu or a separator.
struct MenuItem {
    std::string caption;
    int id = 0;  // command identifier; 0 for submenus and separators
    bool separator = false;
    std::vector<MenuItem> items;  // non-empty for a submenu

    bool IsSubmenu() const { return !separator && id == 0; }
};

// One control of a dialog template. Kinds: button, iconbutton, radio, check, static,
// picture, edit, combo, list, slider, spin, tab, group, plot. Geometry in pixels at 96 dpi.
struct DialogControl {
    int id = 0;
    std::string kind;
    std::string text;
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
    int icon = 0;                    // icon identifier of iconbutton and picture controls
    std::vector<std::string> flags;  // readonly, multiline, number, hidden, disabled, ...

    bool HasFlag(const std::string& flag) const;
};

struct DialogTemplate {
    int id = 0;
    std::string caption;
    int width = 0;
    int height = 0;
    std::vector<DialogControl> controls;
    std::map<int, std::vector<std::string>> lists;  // combo box id -> initial entries

    const DialogControl* Control(int controlId) const;
};

struct Accelerator {
    std::string key;  // portable key text, e.g. "Ctrl+N", "Shift+Del", "F6"
    int command = 0;
};

// A button of the main frame's toolbar: command 0 is a separator.
struct ToolbarButton {
    int command = 0;
    int icon = 0;
};

// The texts, menus, dialog templates, accelerators and toolbars of one language, read
// from the JSON files of its resource set. Lookups of missing identifiers give empty
// results; a file that cannot be parsed leaves its part empty and is named in Errors().
class ResourceCatalog {
public:
    struct Sources {
        std::string strings;
        std::string menus;
        std::string dialogs;
        std::string accelerators;
        std::string toolbar;
    };

    ResourceCatalog() = default;
    explicit ResourceCatalog(const Sources& sources);

    bool IsValid() const { return errors_.empty(); }
    const std::vector<std::string>& Errors() const { return errors_; }

    std::string String(int id) const;
    bool HasString(int id) const { return strings_.count(id) != 0; }
    std::optional<std::vector<MenuItem>> Menu(int id) const;
    // Caption of the item with the command identifier anywhere in the menu; empty when absent.
    std::string MenuCaption(int menuId, int command) const;
    std::optional<DialogTemplate> Dialog(int id) const;
    std::string ControlText(int dialogId, int controlId) const;
    std::vector<std::string> InitialList(int dialogId, int controlId) const;
    const std::vector<Accelerator>& Accelerators() const { return accelerators_; }
    // Resource toolbar 102 in order, separators as 0.
    const std::vector<int>& ToolbarButtons() const { return toolbarButtons_; }
    // The main frame's 13 buttons with their images.
    const std::vector<ToolbarButton>& FrameToolbar() const { return frameToolbar_; }

    std::vector<int> StringIds() const;
    std::vector<int> MenuIds() const;
    std::vector<int> DialogIds() const;

private:
    void ParseStrings(const std::string& text);
    void ParseMenus(const std::string& text);
    void ParseDialogs(const std::string& text);
    void ParseAccelerators(const std::string& text);
    void ParseToolbar(const std::string& text);

    std::map<int, std::string> strings_;
    std::map<int, std::vector<MenuItem>> menus_;
    std::map<int, DialogTemplate> dialogs_;
    std::vector<Accelerator> accelerators_;
    std::vector<int> toolbarButtons_;
    std::vector<ToolbarButton> frameToolbar_;
    std::vector<std::string> errors_;
};

}  // namespace tarvo
