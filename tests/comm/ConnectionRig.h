#pragma once

#include <filesystem>
#include <string>

#include "comm/ConnectionContext.h"
#include "comm/ConnectionSession.h"
#include "comm/ControlLink.h"
#include "comm/LinkSwitches.h"
#include "platform/AppSettings.h"
#include "platform/MessageBox.h"
#include "platform/QueuedMessageSender.h"
#include "tests/comm/CommTestSupport.h"
#include "tests/comm/LinkTestSupport.h"

namespace tarvo::test {

// What the connection forms and the main frame work on: a real control link over a program
// folder of its own (data/ holds only the libraries a test puts there), its settings file,
// the session and a main frame that records its messages.
class ConnectionRig {
public:
    ConnectionRig()
        : link({switches, sender, box, folder.Path()}), settings(folder.Path() + "/sys/sys.ini") {
        std::filesystem::create_directories(folder.Path() + "/sys");
    }
    ~ConnectionRig() {
        // A worker waiting in a delivery that nobody drains is let go first.
        sender.Abandon();
        link.Shutdown(nullptr);
    }

    // The staged serial library, for opens against a pseudo-terminal.
    void PutSerialLibrary() { folder.Put(StageFolder() + "/data/libCOM.so", "libCOM.so"); }

    ConnectionContext Context() { return {link, switches, session, settings, box, &mainFrame}; }

    // The main frame's messages of one number, with their wParam.
    std::vector<uintptr_t> MainFrameMessages(uint32_t message) const {
        std::vector<uintptr_t> params;
        for (const auto& m : mainFrame.messages) {
            if (m.message == message) {
                params.push_back(m.wParam);
            }
        }
        return params;
    }

    LibraryFolder folder;
    LinkSwitches switches;
    QueuedMessageSender sender;
    RecordingMessageBox box;
    ControlLink link;
    AppSettings settings;
    ConnectionSession session;
    RecordingWindow mainFrame;
};

}  // namespace tarvo::test
