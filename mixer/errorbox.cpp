#include "errorbox.h"

#include <QMessageBox>

namespace mixer {

void showCriticalMessage(const std::string& text, const std::string& title) {
    QMessageBox box(QMessageBox::Critical, QString::fromStdString(title),
                    QString::fromStdString(text), QMessageBox::Ok);
    box.exec();
}

}  // namespace mixer
