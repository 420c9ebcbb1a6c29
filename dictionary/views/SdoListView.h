#pragma once

#include <QTimer>
#include <QWidget>
#include <functional>

#include "dictionary/SdoListModel.h"
#include "platform/MessageTarget.h"
#include "resources/FormBuilder.h"

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QTableView;

namespace tarvo {

class FactsText;
class LinkRequester;
class MessageBox;
class ObjectDictionary;
class ResourceSet;
class SdoListTable;

// The object dictionary browser (form 128) over its model: the entry list, the help pane,
// the sort choice and "Find next". A double-click hands the entry to the window that asked
// for a pick and closes the browser's frame. With a link, the selected entry's value is read
// when it is selected and again every second while the browser is shown and connected.
class SdoListView : public QWidget, public MessageTarget {
    Q_OBJECT
public:
    struct Context {
        const ObjectDictionary& dictionary;
        MessageBox& messageBox;
        const ResourceSet& resources;
        int pixelsPerInch = 96;
        // Gives the window waiting for a pick and forgets it (null when none waits).
        std::function<MessageTarget*()> takePickTarget;
        // Adds an entry to the trend; when set, the list's context menu offers "Trend".
        std::function<void(uint32_t key)> addToTrend{};
        // Reads the selected entry's value (nullptr: no value column reads).
        LinkRequester* link = nullptr;
        std::function<bool()> connected{};
        // The sentences about entry facts and the program's switch of the default mark.
        const FactsText* factsText = nullptr;
        const bool* markDefaults = nullptr;
    };

    static constexpr int kReadEveryMs = 1000;

    explicit SdoListView(Context context, QWidget* parent = nullptr);

    // WM_LINK_STATE Hidden (the frame was closed): a pending pick request lapses; LinkLost:
    // the values shown are stale. WM_LINK_VALUE / WM_LINK_ABORT answer the browser's reads.
    intptr_t onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

    SdoListModel& Model() { return model_; }
    QTableView* List() const { return list_; }
    SdoListTable* Table() const { return table_; }
    QPlainTextEdit* HelpPane() const { return help_; }
    QSize FormSize() const { return form_.size; }

    // What a double-click on a row does.
    void PickRow(int row);
    // What the "Find next" button does.
    void FindNext();
    // What the context menu's "Trend" does for a row (nothing without the trend).
    void TrendRow(int row);
    // Reads the selected entry's value when connected; else ages the values shown.
    void ReadSelected();

private:
    void SelectRow(int row, bool scroll);
    void ShowHelp();
    void CloseFrame();

    Context context_;
    SdoListModel model_;
    SdoListTable* table_ = nullptr;
    FormBuilder::Form form_;
    QTableView* list_ = nullptr;
    QPlainTextEdit* help_ = nullptr;
    QComboBox* sort_ = nullptr;
    QLineEdit* search_ = nullptr;
    QTimer reread_;
};

}  // namespace tarvo
