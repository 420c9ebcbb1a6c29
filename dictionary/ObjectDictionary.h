#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <thread>
#include <unordered_map>

#include "dictionary/DictionaryEntry.h"
#include "dictionary/EntryFactsTable.h"

namespace tarvo {

class MessageBox;

// The drive's object dictionary: every entry of data/tarvo.dat in file order, read once
// (normally on the loader thread) and read-only afterwards. Lookups may run while the
// loader is still appending; they then miss the entries not yet appended.
class ObjectDictionary {
public:
    // What the loader thread needs from the program.
    struct LoaderSettings {
        std::string settingsFilePath;  // sys/sys.ini, polled for "lang"
        std::string dataFilePath;      // data/tarvo.dat
        // The language byte shared with start-up; the loader stores "lang" into it and
        // waits while it is 3.
        std::atomic<uint8_t>* languageSetting = nullptr;
        bool systemIsChinese = false;
        MessageBox* messageBox = nullptr;
    };

    ObjectDictionary() = default;
    ~ObjectDictionary();
    ObjectDictionary(const ObjectDictionary&) = delete;
    ObjectDictionary& operator=(const ObjectDictionary&) = delete;

    // Starts the loader thread: it waits for "lang", settles the language and loads the
    // data file. Shows "Create Load SDO thread failure! \n" when no thread can be made.
    void StartLoader(LoaderSettings settings);
    // Ends the loader thread (waiting for it); the entries loaded so far stay.
    void StopLoader();

    // The largest data file taken: some 7,000 records, many times any drive family's.
    static constexpr size_t kDataFileLimit = size_t{32} << 20;

    // Loads a data file on the calling thread, taking the Chinese columns for language 1
    // and the English ones otherwise. When the file cannot be read (missing, not a regular
    // file, far too large) or holds no entry (empty, or not a data file), shows "Couldn't
    // load DB file!! \n" followed by the reason and returns false.
    bool LoadFile(const std::string& path, int language, MessageBox* messageBox);
    // The reason of the last failed LoadFile; empty when none failed.
    std::string LoadProblem() const;

    std::optional<DictionaryEntry> EntryAt(int position) const;
    std::optional<DictionaryEntry> FindEntry(uint32_t key) const;
    int EntryCount() const;
    // What the facts file beside the data file says of a key (value names, range, factory
    // default), or nullptr: none known, or the dictionary is not loaded yet.
    const EntryFacts* FactsOf(uint32_t key) const;
    // Why the facts file beside the data file was not taken; empty when it was, or when
    // there is none.
    std::string FactsProblem() const;

    // True once the loader has finished (or was never started and LoadFile ran).
    bool IsLoaded() const { return loaded_.load(std::memory_order_acquire); }
    // Waits until the loader has finished; false on timeout.
    bool WaitLoaded(std::chrono::milliseconds timeout) const;

private:
    void RunLoader(LoaderSettings settings);
    // Sleeps up to `period`; false when the dictionary is being destroyed.
    bool Pause(std::chrono::milliseconds period);
    void Append(DictionaryEntry&& entry);
    void MarkLoaded();
    void Fail(MessageBox* messageBox, const std::string& problem);

    mutable std::shared_mutex entriesMutex_;
    std::deque<DictionaryEntry> entries_;  // a deque: appending never moves an entry
    std::unordered_map<uint32_t, size_t> firstPosition_;

    std::thread loader_;
    mutable std::mutex stateMutex_;
    mutable std::condition_variable stateChanged_;
    bool stopping_ = false;
    std::atomic<bool> loaded_{false};
    std::string loadProblem_;  // guarded by stateMutex_
    // Filled by LoadFile before the dictionary is marked loaded, read-only afterwards.
    EntryFactsTable facts_;
    std::string factsProblem_;
};

}  // namespace tarvo
