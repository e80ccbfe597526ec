#pragma once

#include <QMenu>

class QAction;

// The main window's context menu. Its one item, "Play into calls", turns the virtual
// microphone on and off; it is unchecked at every start, as the program keeps no settings,
// unless a call still records from the microphone that a former run left. The menu opens with
// the item selected, so that the keyboard and a screen reader are on it at once.
class CallsMenu : public QMenu {
    Q_OBJECT

public:
    explicit CallsMenu(QWidget* parent);

    void setPlayIntoCalls(bool on);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void turn(bool on);
    void showPlayIntoCalls(bool on);
    void refuse(const QString& why);

    QAction* playIntoCalls_;
};
