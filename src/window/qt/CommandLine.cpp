#include "window/qt/CommandLine.h"

#include <QCommandLineParser>

namespace brisolant {

namespace {

// Options QApplication takes for itself; they are accepted here and left to it.
void AddToolkitOptions(QCommandLineParser& parser) {
    const char* const withValue[] = {
        "platform", "platformpluginpath", "platformtheme", "plugin",      "style",  "stylesheet",
        "display",  "qwindowgeometry",    "qwindowtitle",  "qwindowicon", "session"};
    for (const char* name : withValue) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    QCommandLineOption reverse(QStringLiteral("reverse"));
    reverse.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(reverse);
}

}  // namespace

CommandLine ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Records the scans of a parcel dimensioning and weighing station."));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption settings(
        QStringLiteral("settings"),
        QStringLiteral("Run on this settings file instead of the usual one, so that one PC can "
                       "run one instance per station, each with its own file."),
        QStringLiteral("FILE"));
    parser.addOption(settings);
    AddToolkitOptions(parser);

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
    if (parser.isSet(settings) && parser.value(settings).isEmpty()) {
        line.action = CommandLine::Action::Refuse;
        line.text = program + QStringLiteral(": --settings needs a file name") + tryHelp;
        return line;
    }
    line.settingsFile = parser.value(settings);
    if (parser.isSet(help)) {
        line.action = CommandLine::Action::ShowHelp;
        line.text = parser.helpText();
    } else if (parser.isSet(version)) {
        line.action = CommandLine::Action::ShowVersion;
    }
    return line;
}

}  // namespace brisolant
