#include <QApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "commandline.h"
#include "form1.h"
#include "terminationsignals.h"
#include "forms/application.h"
#include "forms/commandbutton.h"
#include "platform/callrouting.h"
#include "session/applicationservice.h"
#include "session/display.h"
#include "session/launchcontext.h"

namespace {

using session::ApplicationService;
using session::Request;

constexpr char kCannotReach[] = "Quorvane cannot reach a running program: no session bus answers.";

void say(const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); }

int refuse(const std::string& error) {
    say("quorvane: " + error + "\nTry 'quorvane --help' for more information.");
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
void carryOut(Form1& form, const Request& request) {
    switch (request.action) {
    case Request::Action::kActivate:
        session::bringToFront(form.windowHandle(), request.activation);
        return;
    case Request::Action::kPlay:
        soundButton(form, request.sound)->click();
        break;
    case Request::Action::kStop:
        form.Command2->click();
        break;
    case Request::Action::kCalls:
        form.setPlayIntoCalls(request.on);
        break;
    }
    session::endLaunch(request.activation.startupId);
}

int runProgram(int argc, char** argv, ApplicationService* service, const Request& request) {
    QGuiApplication::setDesktopFileName(QStringLiteral(QUORVANE_APP_ID));
    QApplication application(argc, argv);
    forms::initApplication();
    removeCallRoutingAtExit();
    Form1 form;
    closeOnTerminationSignals(&form);
    form.show();
    if (request.action != Request::Action::kActivate) carryOut(form, request);
    if (service) service->serve([&form](const Request& received) { carryOut(form, received); });
    return application.exec();
}

// The exit code of a launch that handed its request over, saying why where it could not.
int reported(ApplicationService::Outcome outcome, const ApplicationService& service) {
    switch (outcome) {
    case ApplicationService::Outcome::kDelivered:
        return 0;
    case ApplicationService::Outcome::kNotRunning:
        say("Quorvane is not running.");
        return 1;
    case ApplicationService::Outcome::kNoBus:
        say(kCannotReach);
        return 1;
    default:
        say(service.failure());
        return 1;
    }
}

}  // namespace

// A launch hands its request to the running program, or becomes the running program.
int main(int argc, char** argv) {
    const CommandLine commandLine = parseCommandLine(argc, argv);
    if (!commandLine.error.empty()) return refuse(commandLine.error);
    if (commandLine.help || commandLine.version) {
        std::fputs((commandLine.help ? usage() : versionText()).c_str(), stdout);
        return 0;
    }
    Request request = commandLine.request;
    request.activation = session::thisLaunch();
    ApplicationService service;
    if (!request.startsProgram()) return reported(service.deliver(request), service);
    ApplicationService::Claim claim = service.claim();
    // A running program that ends just then leaves the name free: this launch takes it.
    for (int attempt = 0; claim == ApplicationService::Claim::kTaken; ++attempt) {
        const ApplicationService::Outcome outcome = service.deliver(request);
        if (outcome != ApplicationService::Outcome::kNotRunning || attempt == 1)
            return reported(outcome, service);
        claim = service.claim();
    }
    if (claim == ApplicationService::Claim::kNoBus) {
        if (request.action != Request::Action::kActivate) {
            say(kCannotReach);
            return 1;
        }
        say(service.failure());
    }
    if (!session::displayReachable(argc, argv)) {
        say("Quorvane cannot start: no display can be reached.");
        return 1;
    }
    return runProgram(argc, argv, claim == ApplicationService::Claim::kOwned ? &service : nullptr,
                      request);
}
