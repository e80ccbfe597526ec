#include "messagebox.h"

#include <QMessageBox>

namespace forms {

void showCriticalMessage(const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok);
    box.exec();
}

}  // namespace forms
