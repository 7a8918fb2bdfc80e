#include <QApplication>
#include <QFile>
#include <QIcon>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "about/Version.h"
#include "settings/Settings.h"
#include "settings/SettingsPlace.h"
#include "window/qt/CommandLine.h"
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
    void ShowMessage(const std::string& title, const std::string& text) override {
        std::cerr << title << ": " << text << '\n';
    }
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

}  // namespace
}  // namespace brisolant

int main(int argc, char* argv[]) {
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
        case brisolant::CommandLine::Action::Run:
            break;
    }
    const brisolant::SettingsPlace place =
        brisolant::ChooseSettingsPlace(brisolant::GatherPlaceFacts(
            brisolant::ProgramDir(), QFile::encodeName(line.settingsFile).toStdString()));
    if (line.action == brisolant::CommandLine::Action::ShowVersion) {
        return brisolant::PrintVersion(place);
    }

    QApplication app(argc, argv);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/assets/icon.png")));
    brisolant::frmMain window(place);
    window.show();
    return QApplication::exec();
}
