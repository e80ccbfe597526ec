#include "commandline.h"

#include <algorithm>
#include <vector>

namespace {

// A command as its line and its option name it: "play" is --play.
struct Verb {
    std::string_view name;
    Command::Action action;
    std::vector<std::string_view> values;  // what its argument may be; none when it takes none
};

const Verb kVerbs[] = {
    {"show", Command::Action::kShow, {}},
    {"play", Command::Action::kPlay, {"car", "dogs", "answer"}},
    {"stop", Command::Action::kStop, {}},
    {"calls", Command::Action::kCalls, {"on", "off"}},
};

// Qt's own options, which Qt accepts with one dash or two. These take the next argument as
// their value; style, stylesheet and qmljsdebugger also take it after '='.
constexpr std::string_view kQtOptionsWithValue[] = {
    "platform", "platformpluginpath", "platformtheme", "plugin",  "qwindowgeometry",
    "qwindowtitle", "qwindowicon", "session", "display",   "geometry",
    "title", "icon", "name", "visual", "style",
    "stylesheet", "qmljsdebugger"};
constexpr std::string_view kQtOptionsWithAttachedValue[] = {"style=", "stylesheet=",
                                                            "qmljsdebugger="};
constexpr std::string_view kQtFlags[] = {"reverse", "testability", "widgetcount", "nograb",
                                         "dograb",  "qdevel",      "qdebug"};

// Longest startup-notification id passed on; longer ones are not the desktop's.
constexpr std::size_t kLongestStartupId = 255;

const Verb* verbNamed(std::string_view name) {
    const auto verb = std::find_if(std::begin(kVerbs), std::end(kVerbs),
                                   [name](const Verb& v) { return v.name == name; });
    return verb == std::end(kVerbs) ? nullptr : verb;
}

const Verb& verbOf(Command::Action action) {
    return *std::find_if(std::begin(kVerbs), std::end(kVerbs),
                         [action](const Verb& v) { return v.action == action; });
}

bool allows(const Verb& verb, std::string_view value) {
    return std::find(verb.values.begin(), verb.values.end(), value) != verb.values.end();
}

// "car, dogs or answer".
std::string choices(const Verb& verb) {
    std::string text;
    for (std::size_t i = 0; i < verb.values.size(); ++i) {
        if (i > 0) text += i + 1 == verb.values.size() ? " or " : ", ";
        text += verb.values[i];
    }
    return text;
}

// One word of visible ASCII, as the desktop makes its ids.
bool isStartupId(std::string_view id) {
    return !id.empty() && id.size() <= kLongestStartupId &&
           std::all_of(id.begin(), id.end(), [](char c) { return c > ' ' && c < 127; });
}

std::vector<std::string_view> words(std::string_view line) {
    std::vector<std::string_view> result;
    for (std::size_t start = 0;;) {
        const std::size_t end = line.find(' ', start);
        result.push_back(line.substr(start, end - start));
        if (end == std::string_view::npos) return result;
        start = end + 1;
    }
}

template <std::size_t n>
bool among(const std::string_view (&names)[n], std::string_view name) {
    return std::find(std::begin(names), std::end(names), name) != std::end(names);
}

// The option's name without its one or two dashes; empty for a word that is no option.
std::string_view optionName(std::string_view argument) {
    if (!argument.starts_with('-')) return {};
    argument.remove_prefix(argument.starts_with("--") ? 2 : 1);
    return argument;
}

bool isQtFlag(std::string_view argument) {
    const std::string_view name = optionName(argument);
    return among(kQtFlags, name) ||
           std::any_of(std::begin(kQtOptionsWithAttachedValue), std::end(kQtOptionsWithAttachedValue),
                       [name](std::string_view prefix) { return name.starts_with(prefix); });
}

bool isQtOptionWithValue(std::string_view argument) {
    return among(kQtOptionsWithValue, optionName(argument));
}

// Reads the arguments one by one; the first error ends the reading.
class Parser {
public:
    Parser(int argc, char** argv) : argc_(argc), argv_(argv) {}

    CommandLine parse() {
        while (result_.error.empty() && next_ < argc_) read(argv_[next_++]);
        return result_;
    }

private:
    void read(std::string_view argument) {
        if (argument == "-h" || argument == "--help")
            result_.help = true;
        else if (isQtFlag(argument))
            return;
        else if (isQtOptionWithValue(argument))
            skipValueOf(argument);
        else if (argument.starts_with("--"))
            readCommand(argument);
        else if (argument.starts_with('-'))
            fail("unknown option '" + std::string(argument) + "'");
        else
            fail("unexpected argument '" + std::string(argument) + "'");
    }

    void skipValueOf(std::string_view option) {
        if (next_ < argc_)
            ++next_;
        else
            fail("option '" + std::string(option) + "' needs a value");
    }

    // "--play dogs" or "--play=dogs".
    void readCommand(std::string_view argument) {
        const std::size_t equals = argument.find('=');
        const std::string option(argument.substr(0, equals));
        const Verb* verb = verbNamed(optionName(option));
        if (!verb || verb->action == Command::Action::kShow)
            return fail("unknown option '" + option + "'");
        if (hasCommand_) return fail("only one of --play, --stop and --calls can be given");
        hasCommand_ = true;
        result_.command.action = verb->action;
        if (verb->values.empty()) {
            if (equals != std::string_view::npos) fail(option + " takes no value");
            return;
        }
        if (equals == std::string_view::npos && next_ == argc_)
            return fail(option + " needs " + choices(*verb));
        const std::string_view value =
            equals != std::string_view::npos ? argument.substr(equals + 1) : argv_[next_++];
        if (!allows(*verb, value))
            return fail(option + " takes " + choices(*verb) + ", not '" + std::string(value) + "'");
        result_.command.argument = value;
    }

    void fail(const std::string& error) { result_.error = error; }

    int argc_;
    char** argv_;
    int next_ = 1;
    bool hasCommand_ = false;
    CommandLine result_;
};

}  // namespace

bool Command::startsProgram() const { return action == Action::kShow || action == Action::kPlay; }

std::string Command::toLine() const {
    std::string line(verbOf(action).name);
    if (!argument.empty()) line += ' ' + argument;
    if (isStartupId(startupId)) line += ' ' + startupId;
    return line;
}

std::optional<Command> Command::fromLine(std::string_view line) {
    const std::vector<std::string_view> parts = words(line);
    const Verb* verb = verbNamed(parts[0]);
    if (!verb) return {};
    Command command;
    command.action = verb->action;
    std::size_t next = 1;
    if (!verb->values.empty()) {
        if (parts.size() < 2 || !allows(*verb, parts[1])) return {};
        command.argument = parts[next++];
    }
    if (parts.size() > next + 1) return {};
    if (parts.size() == next + 1) {
        if (!isStartupId(parts[next])) return {};
        command.startupId = parts[next];
    }
    return command;
}

CommandLine parseCommandLine(int argc, char** argv) { return Parser(argc, argv).parse(); }

std::string usage() {
    return "Usage: quorvane [option]\n"
           "Opens Quorvane's window, or brings the running one to the front.\n"
           "\n"
           "  --play car|dogs|answer  play a noise in the running Quorvane, starting it when\n"
           "                          none runs: the car with its punctured tire, the dogs\n"
           "                          outside the door, or the answering machine\n"
           "  --stop                  stop the noise of the running Quorvane\n"
           "  --calls on|off          play into calls, or no longer, in the running Quorvane\n"
           "  -h, --help              show this help\n"
           "\n"
           "Qt's standard options (-platform, -display, -style, ...) work as well.\n";
}
