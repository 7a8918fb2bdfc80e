#pragma once

#include <QString>
#include <QStringList>

namespace brisolant {

// What the command line asks for. Parsed before any window exists, so that --help, --version and
// a wrong option answer on a machine without a display.
struct CommandLine {
    enum class Action { Run, ShowHelp, ShowVersion, CompareRecords, Refuse };

    Action action = Action::Run;
    QString settingsFile;   // --settings FILE; empty when not given
    bool headless = false;  // --headless
    QString stateDir;       // --state-dir DIR, only with --headless; empty when not given
    QString dataDir;        // --data-dir DIR; empty when not given
    QString metricsFile;    // --metrics-file FILE; empty when not given
    QString day;            // --day YYYY-MM-DD, only with --compare-records; empty: today
    QString text;           // the help text, or for Refuse the message
};

// Parses the arguments (the program's name first). Qt's own window options (-platform, -style,
// and a few more) are let through for QApplication; --help-all lists them.
CommandLine ParseCommandLine(const QStringList& arguments);

// The exit code of a refused command line.
inline constexpr int kUsageExitCode = 2;

}  // namespace brisolant
