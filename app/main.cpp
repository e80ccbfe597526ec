#include <QApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "commandline.h"
#include "form1.h"
#include "singleinstance.h"
#include "terminationsignals.h"
#include "forms/application.h"
#include "forms/commandbutton.h"
#include "forms/display.h"
#include "forms/launchcontext.h"
#include "platform/callrouting.h"

namespace {

void say(const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); }

int refuse(const std::string& error) {
    say("quorvane: " + error + "\nTry 'quorvane --help' for the options.");
    return 2;
}

forms::CommandButton* soundButton(Form1& form, const std::string& sound) {
    if (sound == "car") return form.Command1;
    if (sound == "dogs") return form.Command4;
    return form.Command3;
}

// However the process ends, what the call routing loaded goes first: Qt ends it with exit()
// when the display is lost, and a fatal run-time error with quick_exit(). The routing is made
// before the hook is set, so it is still there when the hook runs.
void removeCallRoutingAtExit() {
    static constexpr auto kUnloadBound = std::chrono::milliseconds(1500);
    platform::CallRouting::instance();
    const auto remove = [] { platform::CallRouting::instance().shutdown(kUnloadBound); };
    std::atexit(remove);
    std::at_quick_exit(remove);
}

// The buttons' own handlers play and stop, as a click would.
void carryOut(Form1& form, const Command& command) {
    switch (command.action) {
    case Command::Action::kShow:
        forms::bringToFront(&form, command.startupId);
        return;
    case Command::Action::kPlay:
        soundButton(form, command.argument)->click();
        break;
    case Command::Action::kStop:
        form.Command2->click();
        break;
    case Command::Action::kCalls:
        form.setPlayIntoCalls(command.argument == "on");
        break;
    }
    forms::endLaunch(command.startupId);
}

int runProgram(int argc, char** argv, SingleInstance& instance, const Command& command) {
    QGuiApplication::setDesktopFileName(QStringLiteral(QUORVANE_APP_ID));
    QApplication application(argc, argv);
    forms::initApplication();
    removeCallRoutingAtExit();
    Form1 form;
    if (!instance.serve([&form](const Command& received) { carryOut(form, received); }))
        say(instance.failure() + " Other launches cannot reach this one.");
    closeOnTerminationSignals(&form);
    form.show();
    if (command.action != Command::Action::kShow) carryOut(form, command);
    return application.exec();
}

}  // namespace

// A launch hands its command to the running program, or becomes the running program.
int main(int argc, char** argv) {
    const CommandLine commandLine = parseCommandLine(argc, argv);
    if (!commandLine.error.empty()) return refuse(commandLine.error);
    if (commandLine.help) {
        std::fputs(usage().c_str(), stdout);
        return 0;
    }
    SingleInstance instance;
    const SingleInstance::Outcome outcome = instance.deliver(commandLine.command);
    if (outcome == SingleInstance::Outcome::kDelivered) return 0;
    if (outcome == SingleInstance::Outcome::kNoAnswer || !commandLine.command.startsProgram()) {
        say(outcome == SingleInstance::Outcome::kNotRunning ? "Quorvane is not running."
                                                            : instance.failure());
        return 1;
    }
    if (!forms::displayReachable(argc, argv)) {
        say("Quorvane cannot start: no display can be reached.");
        return 1;
    }
    return runProgram(argc, argv, instance, commandLine.command);
}
