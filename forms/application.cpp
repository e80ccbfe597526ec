#include "application.h"

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>

#include <cstdlib>

#include "fonts.h"
#include "session/launchcontext.h"

namespace forms {

namespace {

// Qt's own -style option and QT_STYLE_OVERRIDE keep their effect.
bool styleChosenByUser() {
    if (qEnvironmentVariableIsSet("QT_STYLE_OVERRIDE")) return true;
    for (const QString& argument : QCoreApplication::arguments())
        if (argument == "-style" || argument.startsWith("-style=") || argument == "--style")
            return true;
    return false;
}

// A window looks the same whether it is active or not, so that an activation change repaints
// nothing: the inactive colours are the active ones, whatever the desktop's theme says.
void useActiveColoursWhenInactive() {
    QPalette palette = QApplication::palette();
    for (int role = 0; role < QPalette::NColorRoles; ++role) {
        const auto colourRole = QPalette::ColorRole(role);
        palette.setBrush(QPalette::Inactive, colourRole, palette.brush(QPalette::Active, colourRole));
    }
    QApplication::setPalette(palette);
}

}  // namespace

QString applicationTitle() { return QStringLiteral("Quorvane"); }

// The classic desktop look that the layouts were drawn for: frame captions on the frame line,
// sunken text boxes, raised buttons.
void initApplication() {
    QCoreApplication::setApplicationName(applicationTitle());
    if (!styleChosenByUser()) {
        if (QStyle* classic = QStyleFactory::create(QStringLiteral("Windows")))
            QApplication::setStyle(classic);
    }
    useActiveColoursWhenInactive();
    registerFonts();
    QApplication::setFont(msSansSerif(8.25));
    session::followUserInput();
}

void ProcessExit::ExitProcess(int code) { std::quick_exit(code); }

constinit base::Replaceable<ProcessExit> processExit{base::madeOnFirstUse<ProcessExit>};

}  // namespace forms
