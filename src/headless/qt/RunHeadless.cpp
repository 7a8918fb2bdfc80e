#include "headless/qt/RunHeadless.h"

#include <QCoreApplication>
#include <iostream>
#include <optional>

#include "common/Failure.h"
#include "common/qt/EndSignals.h"
#include "headless/qt/HeadlessProgram.h"
#include "headless/qt/SystemdNotifier.h"
#include "settings/FailureMessage.h"
#include "settings/Settings.h"
#include "settings/SettingsFileCheck.h"

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

int RefuseUnreadableSettings(const SettingsPlace& place, LogStyle style) {
    const std::optional<Failure> problem = SettingsFileProblem(place.iniFilePath);
    if (!problem) {
        return 0;
    }
    std::cerr << style.Prefix(FailurePriority(problem->code())) << FailureMessageText(*problem)
              << '\n';
    return kSettingsFileExitCode;
}

int RunHeadless(int& argc, char** argv, const SettingsPlace& place, const HeadlessSetup& setup) {
    QCoreApplication app(argc, argv);
    if (AsksForManualEntry(place)) {
        const Failure refusal(FailureCode::PromptWithoutWindow, place.iniFilePath);
        std::cerr << setup.style.Prefix(FailurePriority(refusal.code()))
                  << FailureMessageText(refusal) << '\n';
        return kHeadlessRefusedExitCode;
    }
    const EndSignals ending([style = setup.style](int signal) {
        std::cerr << style.Prefix(LogPriority::Info) << "Ending on " << EndSignals::Name(signal)
                  << '\n';
        QCoreApplication::exit(0);
    });
    SystemdNotifier manager;
    HeadlessProgram program(place, setup, std::cerr, manager);
    program.Start();
    const int exitCode = ending.Received() != 0 ? 0 : QCoreApplication::exec();
    program.End();
    return exitCode;
}

}  // namespace brisolant
