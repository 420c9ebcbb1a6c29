#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/MessageTarget.h"
#include "transfer/ObjectListFile.h"
#include "transfer/ObjectWord.h"
#include "transfer/ParameterFile.h"
#include "transfer/RowResult.h"

namespace tarvo {

class LinkRequester;
class MessageBox;
class ObjectDictionary;
class Timer;
struct LinkSwitches;

// The export of driver data without its window: the object list, the reading of every row
// from the drive (one request in flight, exclusive use of the control link) and the saving
// of the parameter file. The view shows the rows, statuses and buttons that it keeps.
class ExportDrvDataModel : public MessageTarget {
public:
    enum Status { kListStatus = 1141, kReadStatus = 1145, kSaveStatus = 1142 };
    enum Button { kOpenButton = 1090, kReadButton = 1178, kSaveButton = 1091 };

    struct Context {
        LinkRequester& link;
        LinkSwitches& switches;
        MessageBox& messageBox;
        const ObjectDictionary& dictionary;
        // Checks the connection every second while reading, so that a closed link or a
        // taken exclusive mode ends the reading instead of leaving it waiting.
        Timer& watchTimer;
        // The view's window: the owner of the requests. Null: the model itself.
        MessageTarget* window = nullptr;
    };

    struct Row {
        ObjectWord word;
        std::string wordText;  // "%08X"
        std::string name;      // "? ? ? ?" outside the dictionary
        bool known = false;
        std::string value;
        RowResult result = RowResult::kNone;  // kTrue, kFail or kNone
        int line = 0;                         // line of the object list
        bool Failed() const { return IsRowError(result); }
    };

    struct Hooks {
        std::function<void()> rowsReset;
        std::function<void(int row)> rowChanged;
        std::function<void()> stateChanged;  // statuses, buttons, progress
        std::function<void()> finished;      // the reading ended (done or stopped)
    };

    explicit ExportDrvDataModel(Context context);
    ~ExportDrvDataModel() override;

    // "Open File" before its dialog: status, button off, list emptied.
    void BeginOpen();
    // The chosen object list; "File open failure! \n" when it cannot be read.
    bool LoadList(const std::string& path);
    void LoadItems(const std::vector<ObjectListFile::Item>& items);
    // After the dialog, chosen or not.
    void EndOpen();

    // "Read": "Comm port isn't Open!" while the connection is closed, else the reading.
    void Read();
    // Ends a reading whose replies can no longer come; the rows not read stay empty.
    void Stop();

    // "Save" with the path the save rules gave; "File open failure! \n" when the file cannot
    // be written (nothing is left half-written).
    bool Save(const std::string& path);
    // Why the last Save failed, naming the file and the system's reason; empty after a save.
    const std::string& SaveError() const { return saveError_; }
    std::string FileText() const;

    intptr_t onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

    const std::vector<Row>& Rows() const { return rows_; }
    const std::string& StatusText(Status status) const;
    bool ButtonEnabled(Button button) const;
    bool Reading() const { return reading_; }
    bool Stopped() const { return stopped_; }
    int RowsDone() const { return current_; }
    int FailureCount() const;

    Hooks hooks;

private:
    MessageTarget* Window() { return context_.window ? context_.window : this; }
    void RequestCurrent();
    void Advance();
    void Finish();
    // The reading ends (done or stopped) with this status.
    void EndReading(const std::string& status);
    void WatchConnection();
    void Changed();

    Context context_;
    std::vector<Row> rows_;
    int current_ = 0;
    bool reading_ = false;
    bool stopped_ = false;
    bool saving_ = false;
    bool opening_ = false;
    std::string listStatus_;
    std::string readStatus_;
    std::string saveStatus_;
    std::string saveError_;
};

}  // namespace tarvo
