#include "resources/ResourceCatalog.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <nlohmann/json.hpp>
#include <stdexcept>

namespace tarvo {

namespace {

using nlohmann::json;

// Menus deeper than this are refused rather than walked.
constexpr int kMaxMenuDepth = 8;

int ParseId(const std::string& key) {
    int value = 0;
    const char* end = key.data() + key.size();
    auto [ptr, ec] = std::from_chars(key.data(), end, value);
    if (key.empty() || ec != std::errc() || ptr != end) {
        throw std::runtime_error("identifier \"" + key + "\" is not a decimal number");
    }
    return value;
}

json ParseObject(const std::string& text) {
    json document = json::parse(text);
    if (!document.is_object()) {
        throw std::runtime_error("the top level is not an object");
    }
    return document;
}

int IntMember(const json& object, const char* name) {
    auto it = object.find(name);
    if (it == object.end()) {
        return 0;
    }
    return it->get<int>();
}

std::string TextMember(const json& object, const char* name) {
    auto it = object.find(name);
    if (it == object.end() || it->is_null()) {
        return {};
    }
    return it->get<std::string>();
}

MenuItem ParseMenuItem(const json& node, int depth) {
    if (depth > kMaxMenuDepth) {
        throw std::runtime_error("menu nested too deeply");
    }
    if (!node.is_object()) {
        throw std::runtime_error("menu item is not an object");
    }
    MenuItem item;
    if (node.value("separator", false)) {
        item.separator = true;
        return item;
    }
    item.caption = TextMember(node, "caption");
    auto items = node.find("items");
    if (items != node.end()) {
        for (const json& child : items->get_ref<const json::array_t&>()) {
            item.items.push_back(ParseMenuItem(child, depth + 1));
        }
        return item;
    }
    item.id = IntMember(node, "id");
    if (item.id == 0) {
        throw std::runtime_error("menu item \"" + item.caption + "\" has no command identifier");
    }
    return item;
}

DialogControl ParseControl(const json& node) {
    if (!node.is_object()) {
        throw std::runtime_error("control is not an object");
    }
    DialogControl control;
    control.id = IntMember(node, "id");
    control.kind = TextMember(node, "kind");
    control.text = TextMember(node, "text");
    control.x = IntMember(node, "x");
    control.y = IntMember(node, "y");
    control.w = IntMember(node, "w");
    control.h = IntMember(node, "h");
    control.icon = IntMember(node, "icon");
    if (auto flags = node.find("flags"); flags != node.end()) {
        control.flags = flags->get<std::vector<std::string>>();
    }
    if (control.kind.empty()) {
        throw std::runtime_error("control " + std::to_string(control.id) + " has no kind");
    }
    return control;
}

DialogTemplate ParseDialog(int id, const json& node) {
    if (!node.is_object()) {
        throw std::runtime_error("dialog " + std::to_string(id) + " is not an object");
    }
    DialogTemplate dialog;
    dialog.id = id;
    dialog.caption = TextMember(node, "caption");
    dialog.width = IntMember(node, "width");
    dialog.height = IntMember(node, "height");
    if (auto controls = node.find("controls"); controls != node.end()) {
        for (const json& child : controls->get_ref<const json::array_t&>()) {
            dialog.controls.push_back(ParseControl(child));
        }
    }
    if (auto lists = node.find("lists"); lists != node.end()) {
        for (const auto& [key, entries] : lists->get_ref<const json::object_t&>()) {
            dialog.lists[ParseId(key)] = entries.get<std::vector<std::string>>();
        }
    }
    return dialog;
}

const MenuItem* FindCommand(const std::vector<MenuItem>& items, int command) {
    for (const MenuItem& item : items) {
        if (item.id == command && !item.separator) {
            return &item;
        }
        if (const MenuItem* found = FindCommand(item.items, command)) {
            return found;
        }
    }
    return nullptr;
}

template <typename Map>
std::vector<int> Keys(const Map& map) {
    std::vector<int> keys;
    keys.reserve(map.size());
    for (const auto& entry : map) {
        keys.push_back(entry.first);
    }
    return keys;
}

}  // namespace

bool DialogControl::HasFlag(const std::string& flag) const {
    return std::find(flags.begin(), flags.end(), flag) != flags.end();
}

const DialogControl* DialogTemplate::Control(int controlId) const {
    for (const DialogControl& control : controls) {
        if (control.id == controlId) {
            return &control;
        }
    }
    return nullptr;
}

ResourceCatalog::ResourceCatalog(const Sources& sources) {
    // Each file is parsed on its own so that one bad file does not hide the others.
    const std::pair<const char*, std::function<void()>> parts[] = {
        {"strings.json", [&] { ParseStrings(sources.strings); }},
        {"menus.json", [&] { ParseMenus(sources.menus); }},
        {"dialogs.json", [&] { ParseDialogs(sources.dialogs); }},
        {"accelerators.json", [&] { ParseAccelerators(sources.accelerators); }},
        {"toolbar.json", [&] { ParseToolbar(sources.toolbar); }},
    };
    for (const auto& [name, parse] : parts) {
        try {
            parse();
        } catch (const std::exception& error) {
            errors_.push_back(std::string(name) + ": " + error.what());
        }
    }
}

void ResourceCatalog::ParseStrings(const std::string& text) {
    const json document = ParseObject(text);
    std::map<int, std::string> strings;
    for (const auto& [key, value] : document.items()) {
        strings[ParseId(key)] = value.get<std::string>();
    }
    strings_ = std::move(strings);
}

void ResourceCatalog::ParseMenus(const std::string& text) {
    const json document = ParseObject(text);
    std::map<int, std::vector<MenuItem>> menus;
    for (const auto& [key, value] : document.items()) {
        std::vector<MenuItem> items;
        for (const json& child : value.get_ref<const json::array_t&>()) {
            items.push_back(ParseMenuItem(child, 1));
        }
        menus[ParseId(key)] = std::move(items);
    }
    menus_ = std::move(menus);
}

void ResourceCatalog::ParseDialogs(const std::string& text) {
    const json document = ParseObject(text);
    std::map<int, DialogTemplate> dialogs;
    for (const auto& [key, value] : document.items()) {
        int id = ParseId(key);
        dialogs[id] = ParseDialog(id, value);
    }
    dialogs_ = std::move(dialogs);
}

void ResourceCatalog::ParseAccelerators(const std::string& text) {
    const json document = json::parse(text);
    std::vector<Accelerator> accelerators;
    for (const json& node : document.get_ref<const json::array_t&>()) {
        accelerators.push_back({TextMember(node, "key"), IntMember(node, "command")});
    }
    accelerators_ = std::move(accelerators);
}

void ResourceCatalog::ParseToolbar(const std::string& text) {
    json document = ParseObject(text);
    std::vector<int> buttons = document.at("102").get<std::vector<int>>();
    std::vector<ToolbarButton> frame;
    if (auto it = document.find("frame"); it != document.end()) {
        for (const json& node : it->get_ref<const json::array_t&>()) {
            frame.push_back({IntMember(node, "command"), IntMember(node, "icon")});
        }
    }
    toolbarButtons_ = std::move(buttons);
    frameToolbar_ = std::move(frame);
}

std::string ResourceCatalog::String(int id) const {
    auto it = strings_.find(id);
    return it == strings_.end() ? std::string() : it->second;
}

std::optional<std::vector<MenuItem>> ResourceCatalog::Menu(int id) const {
    auto it = menus_.find(id);
    if (it == menus_.end()) {
        return std::nullopt;
    }
    return it->second;
}

std::string ResourceCatalog::MenuCaption(int menuId, int command) const {
    auto it = menus_.find(menuId);
    if (it == menus_.end()) {
        return {};
    }
    const MenuItem* item = FindCommand(it->second, command);
    return item ? item->caption : std::string();
}

std::optional<DialogTemplate> ResourceCatalog::Dialog(int id) const {
    auto it = dialogs_.find(id);
    if (it == dialogs_.end()) {
        return std::nullopt;
    }
    return it->second;
}

std::string ResourceCatalog::ControlText(int dialogId, int controlId) const {
    auto it = dialogs_.find(dialogId);
    if (it == dialogs_.end()) {
        return {};
    }
    const DialogControl* control = it->second.Control(controlId);
    return control ? control->text : std::string();
}

std::vector<std::string> ResourceCatalog::InitialList(int dialogId, int controlId) const {
    auto it = dialogs_.find(dialogId);
    if (it == dialogs_.end()) {
        return {};
    }
    auto list = it->second.lists.find(controlId);
    return list == it->second.lists.end() ? std::vector<std::string>() : list->second;
}

std::vector<int> ResourceCatalog::StringIds() const {
    return Keys(strings_);
}

std::vector<int> ResourceCatalog::MenuIds() const {
    return Keys(menus_);
}

std::vector<int> ResourceCatalog::DialogIds() const {
    return Keys(dialogs_);
}

}  // namespace tarvo
