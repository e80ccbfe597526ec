#include <QApplication>

#include "app/form1.h"
#include "forms/application.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    forms::initApplication();
    Form1 form;
    form.show();
    return application.exec();
}
