#include "window/qt/CommandLine.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include "settings/SettingsPlace.h"

namespace brisolant {

namespace {

// Options QApplication takes for itself; they are accepted here and left to it. --help-all
// lists them.
struct ToolkitOption {
    const char* name;
    const char* valueName;  // nullptr for an option without a value
    const char* description;
};

constexpr ToolkitOption kToolkitOptions[] = {
    {"platform", "name", "Window system to use (xcb, wayland, offscreen, ...)."},
    {"platformpluginpath", "folder", "Folder to load window system plugins from."},
    {"platformtheme", "name", "Platform theme to use."},
    {"plugin", "name", "An extra input plugin to load."},
    {"style", "name", "Widget style to use (Fusion, Windows, ...)."},
    {"stylesheet", "file", "Style sheet to apply."},
    {"display", "name", "X display to show the window on."},
    {"qwindowgeometry", "geometry", "Size and place of the window (800x600+0+0)."},
    {"qwindowtitle", "title", "Caption of the window."},
    {"qwindowicon", "file", "Icon of the window."},
    {"session", "id", "Session to restore."},
    {"reverse", nullptr, "Lay the window out from right to left."},
};

constexpr const char* kSettings = "settings";
constexpr const char* kHeadless = "headless";
constexpr const char* kStateDir = "state-dir";
constexpr const char* kDataDir = "data-dir";
constexpr const char* kMetricsFile = "metrics-file";
constexpr const char* kCompareRecords = "compare-records";
constexpr const char* kDay = "day";

void DescribeOptions(QCommandLineParser& parser, bool listToolkitOptions) {
    parser.setApplicationDescription(
        QStringLiteral("Records the scans of a parcel dimensioning and weighing station."));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(QCommandLineOption(
        QString::fromLatin1(kSettings),
        QStringLiteral("Run on this settings file instead of the usual one, one instance per "
                       "station. The caption shows the file's name, and records go to a data "
                       "folder of that name unless the file sets one."),
        QStringLiteral("FILE")));
    parser.addOption(QCommandLineOption(
        QString::fromLatin1(kHeadless),
        QStringLiteral("Record without a window, as a service does: needs no display, logs each "
                       "record and each change of status on standard error, and ends cleanly "
                       "on SIGTERM, SIGINT or SIGHUP. Refuses a settings file with "
                       "ManualEntryData set.")));
    parser.addOption(QCommandLineOption(
        QString::fromLatin1(kStateDir),
        QStringLiteral("With --headless: keep the journal of waiting scans in this folder "
                       "instead of beside the settings file."),
        QStringLiteral("DIR")));
    parser.addOption(QCommandLineOption(
        QString::fromLatin1(kDataDir),
        QStringLiteral("Record in this folder when the settings file sets no FilePath, instead "
                       "of the user's data folder; it is made at the first scan."),
        QStringLiteral("DIR")));
    parser.addOption(QCommandLineOption(
        QString::fromLatin1(kMetricsFile),
        QStringLiteral("Keep the station's figures in this file for Prometheus "
                       "(node_exporter's textfile collector): replaced whole at the start, "
                       "after changes at most once a second, at least once a minute, and at "
                       "the end."),
        QStringLiteral("FILE")));
    parser.addOption(QCommandLineOption(
        QString::fromLatin1(kCompareRecords),
        QStringLiteral("Compare the station's data files with its rows in the site's database "
                       "for a day: prints the count in each and every scan found in one and not "
                       "the other. Exits 0 when they agree, 1 when they do not, 4 when one "
                       "cannot be read.")));
    parser.addOption(QCommandLineOption(
        QString::fromLatin1(kDay),
        QStringLiteral("With --compare-records: the day to compare (today when not given)."),
        QStringLiteral("YYYY-MM-DD")));
    for (const ToolkitOption& toolkit : kToolkitOptions) {
        QCommandLineOption option(
            QString::fromLatin1(toolkit.name), QString::fromLatin1(toolkit.description),
            toolkit.valueName ? QString::fromLatin1(toolkit.valueName) : QString());
        if (!listToolkitOptions) {
            option.setFlags(QCommandLineOption::HiddenFromHelp);
        }
        parser.addOption(option);
    }
}

// Without an application object Qt cannot name the program in its usage line, so the line is
// written here.
QString HelpText(const QString& programName, bool listToolkitOptions) {
    QCommandLineParser parser;
    DescribeOptions(parser, listToolkitOptions);
    const QString text = parser.helpText();
    return QStringLiteral("Usage: %1 [options]").arg(programName) + text.mid(text.indexOf(u'\n'));
}

}  // namespace

CommandLine ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    DescribeOptions(parser, false);

    CommandLine line;
    const QString program = arguments.isEmpty() ? QStringLiteral("brisolant") : arguments.first();
    const QString tryHelp = QStringLiteral("\nTry '%1 --help'.").arg(program);
    if (!parser.parse(arguments)) {
        line.action = CommandLine::Action::Refuse;
        line.text = program + QStringLiteral(": ") + parser.errorText() + tryHelp;
        return line;
    }
    if (!parser.positionalArguments().isEmpty()) {
        line.action = CommandLine::Action::Refuse;
        line.text = program + QStringLiteral(": unexpected argument '") +
                    parser.positionalArguments().first() + QStringLiteral("'") + tryHelp;
        return line;
    }
    const QString settings = parser.value(QString::fromLatin1(kSettings));
    if (parser.isSet(QString::fromLatin1(kSettings)) &&
        StationNameOf(QFile::encodeName(settings).toStdString()).empty()) {
        line.action = CommandLine::Action::Refuse;
        line.text = program + QStringLiteral(": --settings needs a file name, not '") + settings +
                    QStringLiteral("'") + tryHelp;
        return line;
    }
    line.settingsFile = settings;
    line.headless = parser.isSet(QString::fromLatin1(kHeadless));
    line.stateDir = parser.value(QString::fromLatin1(kStateDir));
    if (parser.isSet(QString::fromLatin1(kStateDir)) &&
        (!line.headless || line.stateDir.isEmpty())) {
        line.action = CommandLine::Action::Refuse;
        line.text =
            program + QStringLiteral(": --state-dir needs a folder, and --headless") + tryHelp;
        return line;
    }
    line.dataDir = parser.value(QString::fromLatin1(kDataDir));
    if (parser.isSet(QString::fromLatin1(kDataDir)) && line.dataDir.isEmpty()) {
        line.action = CommandLine::Action::Refuse;
        line.text = program + QStringLiteral(": --data-dir needs a folder") + tryHelp;
        return line;
    }
    // node_exporter's textfile collector reads the files that end in ".prom" alone.
    line.metricsFile = parser.value(QString::fromLatin1(kMetricsFile));
    if (parser.isSet(QString::fromLatin1(kMetricsFile)) &&
        (!line.metricsFile.endsWith(QStringLiteral(".prom")) ||
         line.metricsFile.endsWith(QStringLiteral("/.prom")))) {
        line.action = CommandLine::Action::Refuse;
        line.text = program + QStringLiteral(": --metrics-file needs a file name ending in .prom") +
                    tryHelp;
        return line;
    }
    line.day = parser.value(QString::fromLatin1(kDay));
    const QRegularExpression dayPattern(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
    if (parser.isSet(QString::fromLatin1(kDay)) &&
        (!parser.isSet(QString::fromLatin1(kCompareRecords)) ||
         !dayPattern.match(line.day).hasMatch())) {
        line.action = CommandLine::Action::Refuse;
        line.text = program +
                    QStringLiteral(": --day needs a date YYYY-MM-DD, and --compare-records") +
                    tryHelp;
        return line;
    }
    const bool helpAll = parser.isSet(QStringLiteral("help-all"));
    if (helpAll || parser.isSet(QStringLiteral("help"))) {
        line.action = CommandLine::Action::ShowHelp;
        const QString name = QFileInfo(program).fileName();
        line.text = HelpText(name.isEmpty() ? QStringLiteral("brisolant") : name, helpAll);
    } else if (parser.isSet(QStringLiteral("version"))) {
        line.action = CommandLine::Action::ShowVersion;
    } else if (parser.isSet(QString::fromLatin1(kCompareRecords))) {
        line.action = CommandLine::Action::CompareRecords;
    }
    return line;
}

}  // namespace brisolant
