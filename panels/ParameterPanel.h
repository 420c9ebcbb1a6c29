#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "dictionary/EntryFacts.h"
#include "panels/PanelDescription.h"
#include "panels/PanelServices.h"
#include "panels/ParameterList.h"
#include "platform/MessageTarget.h"
#include "protocol/DriveProtocol.h"
#include "protocol/SegmentedUploadClient.h"

namespace tarvo {

// The behaviour shared by the list panels: rows from the panel definition file or the open
// project, a read pass that reads every row once with one read of its own in flight, live
// values from the control link, writes of edited values, the context menu, and the
// project's codes. It is the panel's window for the control link: replies come to it.
// User-interface thread only.
class ParameterPanel : public MessageTarget {
public:
    // Commands of the list's context menu.
    enum Command : int { kAdd = 1230, kDelete = 1231, kHelp = 1232 };
    // Saves the panel frame's place into the project being saved, with the open flag.
    using PlaceSaver = std::function<void(int panelNumber, int openFlag)>;

    static constexpr const char* kRefused = "????";

    ParameterPanel(const PanelDescription& description, PanelServices services);
    ~ParameterPanel() override;
    ParameterPanel(const ParameterPanel&) = delete;
    ParameterPanel& operator=(const ParameterPanel&) = delete;

    // Fills the list (from the open project, else from the definition file) and takes the
    // first step of a read pass.
    void Create();

    intptr_t onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

    bool IsCommandEnabled(int command) const;
    void RunCommand(int command);

    // Read-only rows (label with "*") are drawn green.
    bool IsReadOnlyRow(int row) const;

    // The dictionary's help text of the row's entry, empty when it has none.
    std::string HelpOfRow(int row) const;
    // What the dictionary's facts say of the row's entry; nullptr when nothing.
    const EntryFacts* FactsOfRow(int row) const;

    // Fills the list from sys/<panel name>.ini; a missing file or section adds nothing and
    // is reported once through the services' reportProblem.
    void LoadPanelDefinition();
    // Inserts an entry as a row at `position`; an entry already listed, unknown, a text entry
    // added by the user or one whose units cannot be registered adds nothing.
    void AddEntryRow(uint32_t key, int position, bool fromDefinition);
    bool ContainsKey(uint32_t key) const;
    // Relabels the rows from `from` on: their number, with "*" when not writable.
    void RenumberRows(int from);
    void DeleteSelectedRows();

    const PanelDescription& Description() const { return description_; }
    ParameterList& List() { return list_; }
    const ParameterList& List() const { return list_; }
    // 1-based row the pass reads next; 0 while no pass runs.
    int PassCursor() const { return passCursor_; }
    bool IsActive() const { return active_; }
    void SetPlaceSaver(PlaceSaver saver) { placeSaver_ = std::move(saver); }

    // The dictionary key a row shows.
    uint32_t KeyOfRow(int row) const;

private:
    bool Connected() const;
    void StartPass();
    void ReadNextRow();
    // Moves the pass on when the reply answers its read in flight.
    void ContinuePass(uint32_t key);
    void OnLinkValue(uint32_t raw, uint32_t key);
    void OnLinkAbort(uint32_t key);
    void OnLinkSegment(uint32_t key);
    void OnLinkState(WindowState state);
    void OnObjectPicked(uint32_t key);
    void OnRowEdited(int row, int column);
    void ShowText(uint32_t key, const std::string& text);
    // The row both selected and focused, or -1.
    int SelectedFocusedRow() const;

    const PanelDescription& description_;
    PanelServices services_;
    ParameterList list_;
    PlaceSaver placeSaver_;
    int passCursor_ = 0;
    uint32_t passKey_ = 0;  // key of the pass's read in flight
    bool active_ = false;
    // Segmented upload of a text entry: its key, the text so far and the segments' exchange.
    uint32_t uploadKey_ = 0;
    std::string uploadText_;
    SegmentedUploadClient upload_;
};

}  // namespace tarvo
