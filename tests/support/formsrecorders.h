#pragma once

#include <QList>
#include <QStringList>

#include "forms/application.h"
#include "forms/messagebox.h"

// Recorders for the forms services; a test that includes this header links quorvane_forms.
namespace testsupport {

// While it lives, message boxes are noted instead of shown.
class RecordedMessageBoxes : public forms::MessageBoxes {
public:
    void showCritical(const QString& title, const QString& text) override {
        titles << title;
        texts << text;
    }

    QStringList titles;
    QStringList texts;

private:
    base::Replacement<forms::MessageBoxes> inPlace_{forms::messageBoxes, *this};
};

// While it lives, the process's end is noted and the process goes on.
class RecordedExits : public forms::ProcessExit {
public:
    void ExitProcess(int code) override { codes << code; }

    QList<int> codes;

private:
    base::Replacement<forms::ProcessExit> inPlace_{forms::processExit, *this};
};

}  // namespace testsupport
