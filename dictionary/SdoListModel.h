#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tarvo {

class FactsText;
class MessageBox;
class MessageTarget;
class ObjectDictionary;
struct DictionaryEntry;
struct EntryFacts;

// The object dictionary browser without its window: every entry as a row of index,
// subindex and name, sorted by "Index" or "Name", searched by name with "Find next", the
// help text of the selected row, and the pick of an entry for the panel or oscilloscope
// channel that asked for one, and the drive's values of the entries read while browsing.
// User-interface thread only.
class SdoListModel {
public:
    enum SortChoice : int { kSortByIndex = 0, kSortByName = 1 };

    struct Row {
        uint32_t key = 0;
        std::string indexText;  // four upper-case hexadecimal digits
        std::string subText;    // two upper-case hexadecimal digits
        std::string name;
    };

    static constexpr const char* kNotFound = "Not Found!!";

    static constexpr const char* kRefused = "????";

    // With `factsText`, the help text ends with the entry's range, default and names.
    SdoListModel(const ObjectDictionary& dictionary, MessageBox& messageBox,
                 const FactsText* factsText = nullptr);

    // Lists every entry in dictionary order and shows the help of row 0; the sort choice is
    // "Index" (the rows are not re-sorted for it).
    void Fill();
    int RowCount() const { return static_cast<int>(rows_.size()); }
    const Row& RowAt(int row) const { return rows_[static_cast<size_t>(row)]; }

    int SortChoice() const { return sortChoice_; }
    // Sorts by the choice, keeping rows of equal sort key in their order; nothing happens
    // when the choice is the current one or unknown. True when the rows were sorted.
    bool SetSortChoice(int choice);

    // Searches the names for `text` from the row after the last match, wrapping once up to
    // that match. Gives the matching row and selects it, or shows "Not Found!!" and gives
    // nothing; an empty text forgets the remembered one and gives nothing.
    std::optional<int> FindNext(std::string_view text);
    int LastMatch() const { return lastMatch_; }

    // The selected row (-1 for none). Selecting rebuilds the help text when the row differs
    // from the row whose help is shown; true when it was rebuilt.
    int SelectedRow() const { return selectedRow_; }
    bool Select(int row);
    const std::string& HelpText() const { return helpText_; }
    int HelpRow() const { return helpRow_; }

    // Hands the selected row's entry to `target` as WM_OBJECT_PICKED; with no target or no
    // selected row the pick goes nowhere. Gives the key sent, if any.
    std::optional<uint32_t> Pick(MessageTarget* target) const;

    // The value column. A read answer (raw as it came) or refusal for a key is shown in its
    // row until the next; AgeValues says every value shown may have changed since (another
    // entry is read, or the link was lost), and only a new answer makes a value fresh again.
    void TakeValue(uint32_t key, uint32_t raw);
    void TakeRefusal(uint32_t key);
    void AgeValues();
    // "" before the first read, "????" for a refused one, else the value with its code name.
    std::string ValueText(int row) const;
    bool ValueIsFresh(int row) const;
    std::optional<int64_t> RawValue(int row) const;
    const EntryFacts* FactsOfRow(int row) const;
    // The browser reads numbers only: a text entry's value is not shown.
    bool CanRead(int row) const;

    // True when the name holds the text, Latin letters compared regardless of case.
    static bool NameContains(std::string_view name, std::string_view text);
    // The help pane's text for an entry.
    static std::string EntryHelp(const DictionaryEntry& entry);
    // The sort key of a row under a choice: index and subindex text, or the name.
    static std::string SortKey(const Row& row, int choice);

private:
    bool ShowHelp(int row);

    struct ShownValue {
        std::optional<int64_t> raw;  // none: the drive refused the read
        bool fresh = false;
    };

    const ObjectDictionary& dictionary_;
    MessageBox& messageBox_;
    const FactsText* factsText_;
    std::unordered_map<uint32_t, ShownValue> values_;
    // The value read for a row's entry; nullptr for a row out of range or never read.
    const ShownValue* ValueOfRow(int row) const;
    std::vector<Row> rows_;
    int sortChoice_ = kSortByIndex;
    int selectedRow_ = -1;
    int helpRow_ = -1;
    std::string helpText_;
    std::string searchText_;  // lower-cased
    int lastMatch_ = -1;
};

}  // namespace tarvo
