#include <QApplication>

#include <cstdio>

#include "app/form1.h"
#include "forms/application.h"
#include "forms/display.h"

int main(int argc, char** argv) {
    if (!forms::displayReachable(argc, argv)) {
        std::fputs("Quorvane cannot start: no display can be reached.\n", stderr);
        return 1;
    }
    QGuiApplication::setDesktopFileName(QStringLiteral(QUORVANE_APP_ID));
    QApplication application(argc, argv);
    forms::initApplication();
    Form1 form;
    form.show();
    return application.exec();
}
