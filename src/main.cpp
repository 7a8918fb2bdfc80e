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
class ConsoleMessages : public brisolant::MessagePresenter {
  public:
    void ShowMessage(const std::string& title, const std::string& text) override {
        std::cerr << title << ": " << text << '\n';
    }
};

// "Brisolant 1.0.17", then where this run's settings file and data folder are.
int PrintVersion(const brisolant::SettingsPlace& place) {
    ConsoleMessages messages;
    brisolant::Settings settings;
    brisolant::LoadSettings(settings, place, messages);
    std::cout << brisolant::kAppTitle << ' ' << brisolant::VersionNumber() << '\n'
              << "Settings: " << settings.IniFilePath << '\n'
              << "Data: " << settings.FilePath << '\n';
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    // A data file at the size limit must fail the one append (and be reported), not end the
    // program.
    std::signal(SIGXFSZ, SIG_IGN);
    QCoreApplication::setApplicationName(QString::fromLatin1(brisolant::kAppTitle));
    QCoreApplication::setApplicationVersion(QString::fromStdString(brisolant::VersionNumber()));

    const CommandLine line = ParseCommandLine(ArgumentsOf(argc, argv));
    switch (line.action) {
        case CommandLine::Action::Refuse:
            std::cerr << line.text.toLocal8Bit().constData() << '\n';
            return kUsageExitCode;
        case CommandLine::Action::ShowHelp:
            std::cout << line.text.toLocal8Bit().constData();
            return 0;
        case CommandLine::Action::ShowVersion:
        case CommandLine::Action::Run:
            break;
    }
    const brisolant::SettingsPlace place =
        brisolant::ChooseSettingsPlace(brisolant::GatherPlaceFacts(
            ProgramDir(), QFile::encodeName(line.settingsFile).toStdString()));
    if (line.action == CommandLine::Action::ShowVersion) {
        return PrintVersion(place);
    }

    QApplication app(argc, argv);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/assets/icon.png")));
    frmMain window(place);
    window.show();
    return QApplication::exec();
}
