#include "app/SharedState.h"

#include "dictionary/EntryFacts.h"
#include "platform/AppSettings.h"
#include "platform/MessageBox.h"
#include "platform/QueuedMessageSender.h"
#include "platform/WorkingFolder.h"

namespace tarvo {

namespace {

std::string ResolveFolder(const std::string& folder) {
    std::string resolved = folder.empty() ? SharedState::CurrentFolder() : folder;
    while (resolved.size() > 1 && resolved.back() == '/') {
        resolved.pop_back();
    }
    return resolved;
}

}  // namespace

std::string SharedState::CurrentFolder() {
    return WorkingFolder::Current();
}

SharedState::SharedState(const Options& options)
    : programFolder(ResolveFolder(options.programFolder)),
      ownMessageBox_(options.messageBox ? nullptr : std::make_unique<RecordingMessageBox>()),
      ownSender_(options.sender ? nullptr : std::make_unique<QueuedMessageSender>()),
      messageBox_(options.messageBox ? options.messageBox : ownMessageBox_.get()),
      sender_(options.sender ? options.sender : ownSender_.get()),
      systemIsChinese_(options.systemIsChinese),
      link({switches, *sender_, *messageBox_, programFolder}),
      formulas(link, switches.mainFrameWindow, messageBox_),
      units(messageBox_),
      valueText({dictionary, formulas, units, link, messageBox_, &languageSetting}),
      project(dictionary, units, [this](MessageTarget* owner, uint32_t key, MonitorClass cls) {
          link.RegisterMonitor(owner, key, cls);
      }) {
    // The data file's S letter or the facts file says which entries the drive stores.
    link.Unstored().SetStoredEntry([this](uint32_t key) {
        const EntryFacts* facts = dictionary.FactsOf(key);
        if (facts != nullptr && facts->stored) {
            return true;
        }
        std::optional<DictionaryEntry> entry = dictionary.FindEntry(key);
        return entry && (entry->HasAttribute('S') || entry->HasAttribute('s'));
    });
    userFolder = programFolder + "/user/";
    settingsFilePath = programFolder + "/sys/sys.ini";
    englishLibraryPath = programFolder + "/data/EN.rcc";
    pcanLibraryPath = programFolder + "/data/libpcanbasic.so";
    dataFilePath = programFolder + "/data/tarvo.dat";

    AppSettings settings(settingsFilePath);
    std::string otherDictionary =
        options.dictionaryFile.empty() ? settings.DictionaryFile() : options.dictionaryFile;
    if (!otherDictionary.empty()) {
        dataFilePath =
            otherDictionary[0] == '/' ? otherDictionary : programFolder + "/" + otherDictionary;
    }
    languageSetting.store(settings.ConstructionLanguage(systemIsChinese_));
    session.interfaceMode = settings.InterfaceMode();

    if (options.startLoader) {
        dictionary.StartLoader(
            {settingsFilePath, dataFilePath, &languageSetting, systemIsChinese_, messageBox_});
    }
}

// The loader uses the language setting, which is destroyed before the dictionary.
SharedState::~SharedState() {
    dictionary.StopLoader();
}

}  // namespace tarvo
