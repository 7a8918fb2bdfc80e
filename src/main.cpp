#include <QApplication>
#include <QFile>
#include <QTimer>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <optional>

#include "about/Version.h"
#include "common/FolderCreation.h"
#include "common/qt/EndSignals.h"
#include "common/qt/QtMessagePresenter.h"
#include "headless/LogStyle.h"
#include "headless/qt/CompareRecords.h"
#include "headless/qt/RunHeadless.h"
#include "settings/FailureMessage.h"
#include "settings/Settings.h"
#include "settings/SettingsPlace.h"
#include "store/JournalLock.h"
#include "store/RecordJournal.h"
#include "window/qt/CommandLine.h"
#include "window/qt/StartPictures.h"
#include "window/qt/frmMain.h"

namespace brisolant {
namespace {

// The folder of the running executable's real path, known before any QApplication exists.
std::string ProgramDir() {
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string(".") : exe.parent_path().string();
}

QStringList ArgumentsOf(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.append(QFile::decodeName(argv[i]));
    }
    return arguments;
}

// Settings messages of a run without a window go to the error stream.
class ConsoleMessages : public MessagePresenter {
  public:
    explicit ConsoleMessages(LogStyle style = {}, LogPriority priority = LogPriority::Warning)
        : style_(style), priority_(priority) {}
    void ShowMessage(const std::string& title, const std::string& text) override {
        std::cerr << style_.Prefix(priority_) << title << ": " << text << '\n';
    }

  private:
    LogStyle style_;
    LogPriority priority_;
};

// "Brisolant 1.0.17", then where this run's settings file and data folder are.
int PrintVersion(const SettingsPlace& place) {
    ConsoleMessages messages;
    Settings settings;
    LoadSettings(settings, place, messages);
    std::cout << kAppTitle << ' ' << VersionNumber() << '\n'
              << "Settings: " << settings.IniFilePath << '\n'
              << "Data: " << settings.FilePath << '\n';
    return 0;
}

// "YYYY-MM-DD": the day given, or today's.
std::string DayOrToday(const std::string& day) {
    if (!day.empty()) {
        return day;
    }
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &local);
    return text;
}

// The exit code of a copy that finds another running on its settings file.
constexpr int kAlreadyRunningExitCode = 3;
// The exit code of a copy that finds the previous run on its settings file still ending: unlike
// 3, a service manager starts it again.
constexpr int kPreviousRunEndingExitCode = 5;
// How long a start waits for a previous run that is ending (its data folder hung) to let go.
constexpr std::chrono::seconds kPreviousRunPatience{10};

int RefusedExitCode(const JournalLock& lock) {
    return lock.HolderEnding() ? kPreviousRunEndingExitCode : kAlreadyRunningExitCode;
}

// Takes the lock of the journal before anything can touch the journal or the port. An installed
// program's own folder, or the state folder named, is made for it on the first run.
JournalLock LockJournal(const SettingsPlace& place, const std::string& journal, bool ownFolder,
                        LogStyle style) {
    if (place.createSettingsFolder || ownFolder) {
        CreateFolderPath(std::filesystem::path(journal).parent_path().string());
    }
    JournalLock lock(journal, place.iniFilePath);
    if (lock.HolderEnding()) {
        std::cerr << style.Prefix(LogPriority::Warning) << kAppTitle
                  << ": waiting for the previous run on " << place.iniFilePath << " to end\n";
        lock.WaitWhileHolderEnds(kPreviousRunPatience, [] { return EndSignals::Pending() != 0; });
    }
    return lock;
}

// The program ends through its event loop, as File > Exit ends it but without a message box; what
// the writer cannot finish stays in the journal for the next start.
void EndOnSignal(LogStyle style, int signal) {
    std::cerr << style.Prefix(LogPriority::Info) << kAppTitle << ": ending on "
              << EndSignals::Name(signal) << '\n';
    QCoreApplication::exit(0);
}

// What the window tells of its metrics file goes to the error stream, as the rest of its log.
MetricsWriter::Report MetricsReport(LogStyle style, const std::string& path) {
    return [style, path](const std::optional<Failure>& failure) {
        if (failure) {
            std::cerr << style.Prefix(FailurePriority(failure->code())) << StatusText(*failure)
                      << '\n';
        } else {
            std::cerr << style.Prefix(LogPriority::Info) << "Metrics written again: " << path
                      << '\n';
        }
    };
}

}  // namespace
}  // namespace brisolant

int main(int argc, char* argv[]) {
    // An ending signal that comes while the program starts waits for the event loop, which ends
    // the program cleanly; until the handlers are in place it would end it at once.
    brisolant::EndSignals::HoldUntilHandled();
    // A data file at the size limit must fail the one append (and be reported), not end the
    // program.
    std::signal(SIGXFSZ, SIG_IGN);
    QCoreApplication::setApplicationName(QString::fromLatin1(brisolant::kAppTitle));
    QCoreApplication::setApplicationVersion(QString::fromStdString(brisolant::VersionNumber()));

    const brisolant::CommandLine line =
        brisolant::ParseCommandLine(brisolant::ArgumentsOf(argc, argv));
    switch (line.action) {
        case brisolant::CommandLine::Action::Refuse:
            std::cerr << line.text.toLocal8Bit().constData() << '\n';
            return brisolant::kUsageExitCode;
        case brisolant::CommandLine::Action::ShowHelp:
            std::cout << line.text.toLocal8Bit().constData();
            return 0;
        case brisolant::CommandLine::Action::ShowVersion:
        case brisolant::CommandLine::Action::CompareRecords:
        case brisolant::CommandLine::Action::Run:
            break;
    }
    const brisolant::SettingsPlace place =
        brisolant::ChooseSettingsPlace(brisolant::GatherPlaceFacts(
            brisolant::ProgramDir(), QFile::encodeName(line.settingsFile).toStdString(),
            QFile::encodeName(line.dataDir).toStdString()));
    if (line.action == brisolant::CommandLine::Action::ShowVersion) {
        return brisolant::PrintVersion(place);
    }
    if (line.action == brisolant::CommandLine::Action::CompareRecords) {
        brisolant::ConsoleMessages messages;
        return brisolant::CompareRecords(place, brisolant::DayOrToday(line.day.toStdString()),
                                         messages, std::cout, std::cerr);
    }

    const brisolant::LogStyle style = brisolant::ErrorStreamStyle();
    if (line.headless) {
        if (const int refused = brisolant::RefuseUnreadableSettings(place, style); refused != 0) {
            return refused;
        }
    }
    const std::string stateDir = QFile::encodeName(line.stateDir).toStdString();
    const std::string journal = brisolant::JournalPathFor(place.iniFilePath, stateDir);
    brisolant::JournalLock lock = brisolant::LockJournal(place, journal, !stateDir.empty(), style);
    if (const int signal = brisolant::EndSignals::Pending(); signal != 0) {
        // Stopped while it waited for the previous run: nothing has started yet.
        brisolant::EndOnSignal(style, signal);
        return 0;
    }
    std::optional<std::string> lockMessage;
    if (const auto problem = lock.Problem(place.iniFilePath)) {
        lockMessage = brisolant::FailureMessageText(*problem);
        brisolant::ConsoleMessages(style, brisolant::FailurePriority(problem->code()))
            .ShowMessage(brisolant::kAppTitle, *lockMessage);
    }
    const std::string metricsFile = QFile::encodeName(line.metricsFile).toStdString();
    if (line.headless) {
        if (lock.state() == brisolant::JournalLock::State::HeldElsewhere) {
            return brisolant::RefusedExitCode(lock);
        }
        return brisolant::RunHeadless(
            argc, argv, place,
            brisolant::HeadlessSetup{journal, metricsFile, brisolant::VersionNumber(), style});
    }

    QApplication app(argc, argv);
    QApplication::setWindowIcon(brisolant::ProgramIcon());
    const brisolant::EndSignals endSignals(
        [style](int signal) { brisolant::EndOnSignal(style, signal); });
    if (lock.state() == brisolant::JournalLock::State::HeldElsewhere) {
        brisolant::QtMessagePresenter(nullptr).ShowMessage(brisolant::kAppTitle, *lockMessage);
        return brisolant::RefusedExitCode(lock);
    }
    brisolant::frmMain window(place);
    if (!metricsFile.empty()) {
        window.KeepMetrics(
            brisolant::MetricsSetup{
                metricsFile, brisolant::StationOf(place), brisolant::VersionNumber(), {}},
            brisolant::MetricsReport(style, metricsFile));
    }
    // A save in the settings dialog puts a new file in the old one's place.
    window.SetAfterSettingsDialog([&lock] { lock.FollowSettingsFile(); });
    if (lockMessage) {
        // Once the window is up: the program records meanwhile.
        QTimer::singleShot(0, &window, [&window, &lockMessage] {
            brisolant::QtMessagePresenter(&window).ShowMessage(brisolant::kAppTitle, *lockMessage);
        });
    }
    window.show();
    // A signal that came while the window was made has ended its message boxes already.
    const int exitCode = endSignals.Received() != 0 ? 0 : QApplication::exec();
    if (endSignals.Received() != 0) {
        brisolant::ConsoleMessages console(style);
        window.EndAfterSignal(console);
    }
    return exitCode;
}
