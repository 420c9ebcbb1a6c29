#include "SharedState.h"

#include <unistd.h>

#include <vector>

#include "AppSettings.h"

namespace tarvo {

std::string SharedState::CurrentFolder() {
    std::vector<char> buffer(513, '\0');
    if (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        return ".";
    }
    return buffer.data();
}

SharedState::SharedState(const Options& options)
    : messageBox_(options.messageBox), systemIsChinese_(options.systemIsChinese) {
    programFolder = options.programFolder.empty() ? CurrentFolder() : options.programFolder;
    while (programFolder.size() > 1 && programFolder.back() == '/') {
        programFolder.pop_back();
    }
    userFolder = programFolder + "/user/";
    settingsFilePath = programFolder + "/sys/sys.ini";
    englishLibraryPath = programFolder + "/data/EN.rcc";
    pcanLibraryPath = programFolder + "/data/libpcanbasic.so";
    dataFilePath = programFolder + "/data/tarvo.dat";

    AppSettings settings(settingsFilePath);
    languageSetting.store(settings.ConstructionLanguage(systemIsChinese_));
    interfaceMode = settings.InterfaceMode();

    if (options.startLoader) {
        dictionary.StartLoader(
            {settingsFilePath, dataFilePath, &languageSetting, systemIsChinese_, messageBox_});
    }
}

}  // namespace tarvo

namespace tarvo {

// The loader uses the language setting, which is destroyed before the dictionary.
SharedState::~SharedState() {
    dictionary.StopLoader();
}

}  // namespace tarvo
