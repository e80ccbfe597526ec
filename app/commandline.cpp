#include "commandline.h"

#include <QCommandLineParser>
#include <QStringList>

#include "sounds/versioninfo.h"

namespace {

const QStringList kSounds = {"car", "dogs", "answer"};
const QStringList kSwitch = {"on", "off"};

// Qt's own options, which Qt accepts with one dash or two; the parser lets them through and
// the application object reads them.
const QStringList kQtOptionsWithValue = {
    "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
    "qwindowtitle", "qwindowicon", "session", "display", "geometry", "title", "icon", "name",
    "visual", "style", "stylesheet", "qmljsdebugger"};
const QStringList kQtFlags = {"reverse", "testability", "widgetcount", "nograb", "dograb",
                              "qdevel", "qdebug"};

// "car, dogs or answer".
QString choices(const QStringList& values) {
    return values.mid(0, values.size() - 1).join(", ") + " or " + values.last();
}

QString dashed(const QString& name) { return (name.size() == 1 ? "-" : "--") + name; }

class Parser {
public:
    Parser() {
        parser_.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        parser_.addOptions({help_, version_, play_, stop_, calls_});
        for (const QString& name : kQtOptionsWithValue) addHidden(QCommandLineOption(name, {}, "value"));
        for (const QString& name : kQtFlags) addHidden(QCommandLineOption(name));
    }

    CommandLine parse(int argc, char** argv) {
        QStringList arguments;
        for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
        if (!parser_.parse(arguments)) return failed(parseError());
        result_.help = parser_.isSet(help_);
        result_.version = parser_.isSet(version_);
        if (!parser_.positionalArguments().isEmpty())
            return failed("unexpected argument '" + parser_.positionalArguments().first() + "'");
        const qsizetype requests =
            parser_.values(play_).size() + parser_.values(calls_).size() + countOf("stop");
        if (requests > 1) return failed("only one of --play, --stop and --calls can be given");
        if (parser_.isSet(play_)) readPlay();
        if (parser_.isSet(stop_)) result_.request.action = session::Request::Action::kStop;
        if (parser_.isSet(calls_)) readCalls();
        return result_;
    }

private:
    void addHidden(QCommandLineOption option) {
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser_.addOption(option);
    }

    qsizetype countOf(const QString& name) const {
        return parser_.optionNames().count(name);
    }

    QString parseError() const {
        if (!parser_.unknownOptionNames().isEmpty())
            return "unknown option '" + dashed(parser_.unknownOptionNames().first()) + "'";
        QString text = parser_.errorText();
        if (text.endsWith('.')) text.chop(1);
        return text.isEmpty() ? text : text.front().toLower() + text.mid(1);
    }

    void readPlay() {
        const QString sound = parser_.value(play_);
        if (!kSounds.contains(sound))
            return fail("--play takes " + choices(kSounds) + ", not '" + sound + "'");
        result_.request.action = session::Request::Action::kPlay;
        result_.request.sound = sound.toStdString();
    }

    void readCalls() {
        const QString value = parser_.value(calls_);
        if (!kSwitch.contains(value))
            return fail("--calls takes " + choices(kSwitch) + ", not '" + value + "'");
        result_.request.action = session::Request::Action::kCalls;
        result_.request.on = value == "on";
    }

    void fail(const QString& error) { result_.error = error.toStdString(); }

    CommandLine failed(const QString& error) {
        fail(error);
        return result_;
    }

    QCommandLineParser parser_;
    const QCommandLineOption help_{QStringList{"h", "help"}};
    const QCommandLineOption version_{"version"};
    const QCommandLineOption play_{"play", {}, "sound"};
    const QCommandLineOption stop_{"stop"};
    const QCommandLineOption calls_{"calls", {}, "on|off"};
    CommandLine result_;
};

}  // namespace

CommandLine parseCommandLine(int argc, char** argv) { return Parser().parse(argc, argv); }

std::string usage() {
    return "Usage: quorvane [OPTION]\n"
           "Opens Quorvane's window, or brings the running one to the front.\n"
           "\n"
           "  --play car|dogs|answer  play a noise in the running Quorvane, starting it when\n"
           "                          none runs: the car with its punctured tire, the dogs\n"
           "                          outside the door, or the answering machine\n"
           "  --stop                  stop the noise of the running Quorvane\n"
           "  --calls on|off          play into calls, or no longer, in the running Quorvane\n"
           "  -h, --help              display this help and exit\n"
           "      --version           output version information and exit\n"
           "\n"
           "Qt's standard options (-platform, -display, -style, ...) work as well.\n"
           "\n"
           "Exit status is 0 if all went well, 1 if the running Quorvane could not be reached\n"
           "or Quorvane could not start, 2 for a wrong option.\n"
           "\n"
           "Home page: <http://www.example.org/quorvane>\n";
}

std::string versionText() {
    return std::string("quorvane ") + sounds::kProgramVersion +
           "\n"
           "Copyright (C) 2008 Quorvane developers.\n"
           "License MIT: <https://opensource.org/licenses/MIT>.\n"
           "This is free software: you are free to change and redistribute it.\n"
           "There is NO WARRANTY, to the extent permitted by law.\n";
}
