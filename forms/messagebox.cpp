#include "messagebox.h"

#include <QMessageBox>

namespace forms {

void MessageBoxes::showCritical(const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok);
    box.exec();
}

void MessageBoxes::showWarning(const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok);
    box.exec();
}

constinit base::Replaceable<MessageBoxes> messageBoxes{base::madeOnFirstUse<MessageBoxes>};

}  // namespace forms
