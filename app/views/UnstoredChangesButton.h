#pragma once

#include <QToolButton>

namespace tarvo {

class ResourceSet;
class UnstoredChanges;

// The status bar's "N changes not stored": shown while the drive holds written values that
// it has not stored, hidden otherwise. A click is the main frame's to handle.
class UnstoredChangesButton : public QToolButton {
    Q_OBJECT
public:
    UnstoredChangesButton(const UnstoredChanges& changes, const ResourceSet& resources,
                          QWidget* parent = nullptr);

    // Takes the present count.
    void Refresh();
    // The question before the program (program true) or the connection closes, for `count`.
    static QString Question(const ResourceSet& resources, bool program, size_t count);

private:
    const UnstoredChanges& changes_;
    const ResourceSet& resources_;
};

}  // namespace tarvo
