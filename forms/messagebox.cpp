#include "messagebox.h"

#include <QMessageBox>
#include <QPointer>

namespace forms {

void MessageBoxes::showCritical(const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok);
    box.exec();
}

void MessageBoxes::showLatestWarning(const QString& title, const QString& text) {
    static QPointer<QMessageBox> latest;
    if (latest) latest->close();
    latest = new QMessageBox(QMessageBox::Warning, title, text, QMessageBox::Ok);
    latest->setAttribute(Qt::WA_DeleteOnClose);
    latest->setWindowModality(Qt::ApplicationModal);
    latest->show();
}

constinit base::Replaceable<MessageBoxes> messageBoxes{base::madeOnFirstUse<MessageBoxes>};

}  // namespace forms
