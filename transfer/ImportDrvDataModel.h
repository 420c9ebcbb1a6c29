#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/MessageTarget.h"
#include "transfer/ObjectWord.h"
#include "transfer/ParameterFile.h"
#include "transfer/RowResult.h"

namespace tarvo {

class LinkRequester;
class MessageBox;
class ObjectDictionary;
class Timer;
struct DictionaryEntry;
struct LinkSwitches;

// The import of driver data without its window: the parameter file, the writing of every
// row with a read-back of the value the drive then holds, the store and reboot commands.
// One request is in flight at a time; the link is used exclusively while the view is in
// front. Besides the full writing it can compare the file with the drive, or read every row
// once and then write and verify only the rows that differ.
class ImportDrvDataModel : public MessageTarget {
public:
    enum Status { kLoadStatus = 1141, kWriteStatus = 1143, kStoreStatus = 1142 };
    enum Button {
        kOpenButton = 1090,
        kWriteButton = 1093,
        kStoreButton = 1094,
        kRebootButton = 1095
    };
    enum class RunKind { kWrite, kWriteChanged, kCompare };

    struct Context {
        LinkRequester& link;
        LinkSwitches& switches;
        MessageBox& messageBox;
        const ObjectDictionary& dictionary;
        Timer& storeTimer;  // the waits of the storing sequence
        Timer& watchTimer;  // checks the connection every second while rows are outstanding
        MessageTarget* mainFrame = nullptr;  // told (0x40A) when the view's frame closes
        MessageTarget* window = nullptr;     // owner of the requests; null: the model itself
    };

    struct Row {
        ObjectWord word;
        std::string wordText;  // column 1 as in the file
        std::string name;
        bool known = false;
        std::string loadValue;
        std::string readValue;
        RowResult result = RowResult::kNone;
        int line = 0;  // line of the file
        bool Failed() const { return IsRowError(result); }
        bool Alarmed() const { return result == RowResult::kAlarm; }
    };

    struct Hooks {
        std::function<void()> rowsReset;
        std::function<void(int row)> rowChanged;
        std::function<void()> stateChanged;  // statuses, buttons, progress
        std::function<void()> finished;      // a run ended (done or stopped)
        std::function<void()> storeFinished;
    };

    explicit ImportDrvDataModel(Context context);
    ~ImportDrvDataModel() override;

    // "Open file": before the dialog, the chosen file, after the dialog.
    void BeginOpen();
    bool LoadFile(const std::string& path);
    void LoadText(std::string_view text);
    void EndOpen();
    // Lines the last load left out, with their reasons.
    const std::vector<ParameterFile::Skipped>& SkippedLines() const { return skipped_; }
    // Why the last LoadFile read nothing: the reader's sentence; empty after a load.
    const std::string& LoadError() const { return loadError_; }
    // "2 lines could not be read: 3, 7." for the lines of the last load that were neither rows,
    // blank nor marked failed at export (the first few numbers); empty when there are none.
    std::string UnreadableLines() const;
    // Why a row cannot be written as the file gives it; empty when it can.
    std::string RowProblem(const Row& row) const;

    // "Write", or one of the other runs; "Comm port isn't Open!" while the link is closed.
    void Start(RunKind kind);
    void Write() { Start(RunKind::kWrite); }
    // After a finished compare: writes only the rows that did not read back as the file gives
    // them and reads each back, reporting as "Write" does. False (and nothing sent) without
    // such a compare since the file was loaded, while the link is closed or a run is going.
    bool WriteDiffering();
    // True from the end of a compare that was not stopped until the next run or load.
    bool Compared() const { return compared_; }
    // Ends a run whose replies can no longer come; rows not verified keep no result.
    void Stop();

    // "Save parameters" and "Reboot Driver".
    void SaveParameters();
    void Reboot();

    intptr_t onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

    const std::vector<Row>& Rows() const { return rows_; }
    const std::string& StatusText(Status status) const;
    bool ButtonEnabled(Button button) const;
    bool Running() const { return running_; }
    bool Stopped() const { return stopped_; }
    bool Storing() const { return storing_; }
    bool StoreFailed() const { return storeFailed_; }
    int AlarmCount() const;
    int ErrorCount() const;
    int WritesSent() const { return writesSent_; }
    // Rows that have their result (the progress of the view).
    int RowsDone() const;
    int StepsDone() const { return static_cast<int>(step_); }
    int StepCount() const { return static_cast<int>(steps_.size()); }
    int Phase() const { return phase_; }

    Hooks hooks;

private:
    enum class Action { kWrite, kRead };
    struct Step {
        int row;
        Action action;
    };

    MessageTarget* Window() { return context_.window ? context_.window : this; }
    bool CanRun();
    void BeginRun(RunKind kind);
    const DictionaryEntry* EntryOf(const Row& row, DictionaryEntry& storage) const;
    bool Writable(const Row& row, uint32_t& raw) const;
    void BeginPhase(int phase);
    void SendStep();
    void HandleReply(uint32_t message, uint32_t value, uint32_t address);
    void Verify(Row& row, uint32_t value);
    void FinishRun();
    void PerformStoreStep(uint32_t step);
    void WatchConnection();
    void Changed();

    Context context_;
    std::vector<Row> rows_;
    std::vector<ParameterFile::Skipped> skipped_;
    std::vector<Step> steps_;
    size_t step_ = 0;
    RunKind kind_ = RunKind::kWrite;
    int phase_ = 0;
    bool running_ = false;
    bool stopped_ = false;
    bool opening_ = false;
    bool warned_ = false;
    bool compared_ = false;
    int writesSent_ = 0;
    bool storing_ = false;
    bool storeFailed_ = false;
    uint32_t storeStep_ = 0;
    uint32_t storeObject_ = 0;  // the store object written last, 0 while waiting
    std::string loadError_;
    std::string loadStatus_;
    std::string writeStatus_;
    std::string storeStatus_;
};

}  // namespace tarvo
