#pragma once

#include <QString>

#include "base/replaceable.h"

namespace forms {

// The message boxes that the program raises itself.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;

    // A modal message box with a critical icon and one OK button; returns when it is closed.
    virtual void showCritical(const QString& title, const QString& text);
    // A warning, for what the user asked for and could not have. It returns at once and takes
    // the place of the one it showed last, so that refusals coming one after the other never
    // stack up; modal while it is shown.
    virtual void showLatestWarning(const QString& title, const QString& text);
};

// The program's message boxes: Qt's unless a test has put a recorder in their place.
extern base::Replaceable<MessageBoxes> messageBoxes;

}  // namespace forms
