#pragma once

#include <QString>
#include <functional>
#include <string>

namespace tarvo {

class LinkRequester;
class MessageBox;
class MessageTarget;
class ObjectDictionary;
class ResourceSet;
struct LinkSwitches;

// What the export and import views are made with.
struct TransferViewContext {
    LinkRequester& link;
    LinkSwitches& switches;
    MessageBox& messageBox;
    const ObjectDictionary& dictionary;
    const ResourceSet& resources;
    MessageTarget* mainFrame = nullptr;
    std::string userFolder;  // the first folder of the file dialogs
};

// A file dialog: returns the chosen path, or an empty text on Cancel. `defaultSuffix` is
// appended by the dialog when the typed name has no extension.
struct FileDialogRequest {
    bool save = false;
    QString title;
    QString filter;
    QString proposed;  // folder and proposed file name
    QString defaultSuffix;
};
using FileChooser = std::function<QString(const FileDialogRequest& request)>;

}  // namespace tarvo
