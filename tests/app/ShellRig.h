#pragma once

#include <QGuiApplication>
#include <QScreen>
#include <QStringList>
#include <memory>

#include "app/LanguageSettlement.h"
#include "app/SharedState.h"
#include "app/views/MainFrame.h"
#include "app/views/QtMessageBox.h"
#include "app/views/QtMessageSender.h"
#include "resources/ResourceSet.h"
#include "tests/app/ProgramFolder.h"

namespace tarvo::test {

// The program as main() puts it together, over a program folder of the test's own: the
// shared state with the Qt sender, a message box that only records, and the shown main
// window. The link's worker is ended however the test leaves.
class ShellRig {
public:
    ShellRig(const ProgramFolder& folder, const ResourceSet& resources)
        : messageBox(QStringLiteral("TarvoStep")),
          state({folder.PathText(), resources.language() == ResourceSet::Language::Chinese,
                 &messageBox, &sender, false, ""}) {
        messageBox.SetRecordOnly(true);
        state.languageSetting.store(resources.language() == ResourceSet::Language::Chinese ? 1 : 2);
        QScreen* screen = QGuiApplication::primaryScreen();
        LanguageSettlement::ApplyColumnSettings(state,
                                                screen ? int(screen->logicalDotsPerInch()) : 96);
        frame = std::make_unique<MainFrame>(state, resources);
        frame->SetConfirm([this](const QString& question) {
            asked << question;
            return answer;
        });
        frame->SetAskUnstored([this](const QString& question) {
            askedUnstored << question;
            return unstoredAnswer;
        });
        state.switches.mainFrameWindow = frame.get();
        frame->show();
    }
    ~ShellRig() {
        frame->close();
        sender.Abandon();
        state.link.Shutdown([] {});
        frame.reset();
    }
    ShellRig(const ShellRig&) = delete;
    ShellRig& operator=(const ShellRig&) = delete;

    bool Shown(const char* text) const {
        return messageBox.Shown().contains(QString::fromUtf8(text));
    }

    QtMessageBox messageBox;
    QtMessageSender sender;
    SharedState state;
    std::unique_ptr<MainFrame> frame;
    // The questions the main frame asked, each answered with `answer`.
    QStringList asked;
    bool answer = true;
    // The questions about values not stored, each answered with `unstoredAnswer`.
    QStringList askedUnstored;
    MainFrame::UnstoredAnswer unstoredAnswer = MainFrame::UnstoredAnswer::kCloseAnyway;
};

}  // namespace tarvo::test
