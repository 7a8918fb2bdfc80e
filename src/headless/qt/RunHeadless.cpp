#include "headless/qt/RunHeadless.h"

#include <QCoreApplication>
#include <iostream>

#include "common/Failure.h"
#include "common/qt/EndSignals.h"
#include "headless/qt/HeadlessProgram.h"
#include "headless/qt/SystemdNotifier.h"
#include "settings/FailureMessage.h"
#include "settings/Settings.h"

namespace brisolant {

namespace {

// The settings' own messages come once, when the recorder loads them.
class NoMessages : public MessagePresenter {
  public:
    void ShowMessage(const std::string&, const std::string&) override {}
};

bool AsksForManualEntry(const SettingsPlace& place) {
    Settings settings;
    NoMessages quiet;
    LoadSettings(settings, place, quiet);
    return settings.ManualEntryData;
}

}  // namespace

int RunHeadless(int& argc, char** argv, const SettingsPlace& place,
                const std::string& journalPath) {
    QCoreApplication app(argc, argv);
    if (AsksForManualEntry(place)) {
        std::cerr << FailureMessageText(
                         Failure(FailureCode::PromptWithoutWindow, place.iniFilePath))
                  << '\n';
        return kHeadlessRefusedExitCode;
    }
    const EndSignals ending([](int signal) {
        std::cerr << "Ending on " << EndSignals::Name(signal) << '\n';
        QCoreApplication::exit(0);
    });
    SystemdNotifier manager;
    HeadlessProgram program(place, journalPath, std::cerr, manager);
    program.Start();
    const int exitCode = ending.Received() != 0 ? 0 : QCoreApplication::exec();
    program.End();
    return exitCode;
}

}  // namespace brisolant
