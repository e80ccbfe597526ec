#include "callsmenu.h"

#include <QAction>
#include <QSignalBlocker>

#include "forms/application.h"
#include "forms/fatalerror.h"
#include "forms/messagebox.h"
#include "platform/callrouting.h"

CallsMenu::CallsMenu(QWidget* parent) : QMenu(parent) {
    playIntoCalls_ = addAction(QStringLiteral("Play into &calls"));
    playIntoCalls_->setCheckable(true);
    connect(playIntoCalls_, &QAction::toggled, this,
            [this](bool on) { forms::runEventHandler([&] { turn(on); }); });
    connect(&platform::CallRouting::instance(), &platform::CallRouting::failed, this,
            [this](const QString& reason) {
                refuse(QStringLiteral("The sound server refused the virtual microphone (%1).").arg(reason));
            });
    connect(&platform::CallRouting::instance(), &platform::CallRouting::turned, this,
            [this](bool on) { showPlayIntoCalls(on); });
    showPlayIntoCalls(platform::CallRouting::instance().isEnabled());
}

void CallsMenu::setPlayIntoCalls(bool on) { playIntoCalls_->setChecked(on); }

void CallsMenu::showEvent(QShowEvent* event) {
    QMenu::showEvent(event);
    setActiveAction(playIntoCalls_);
}

void CallsMenu::turn(bool on) {
    platform::CallRouting& routing = platform::CallRouting::instance();
    if (!on) return routing.disable();
    if (!routing.enable()) refuse(QStringLiteral("No sound server answers."));
}

// The item shows a state that the microphone took by itself, without acting on it.
void CallsMenu::showPlayIntoCalls(bool on) {
    const QSignalBlocker quiet(playIntoCalls_);
    playIntoCalls_->setChecked(on);
}

void CallsMenu::refuse(const QString& why) {
    showPlayIntoCalls(false);
    forms::messageBoxes().showLatestWarning(forms::applicationTitle(),
                                      QStringLiteral("Quorvane cannot play into calls. ") + why);
}
