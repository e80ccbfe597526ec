#pragma once

#include <QPoint>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>

namespace testsupport {

// Runs xdotool against the test display; returns its standard output, trimmed.
QString xdotool(const QStringList& arguments);

// A left click at a point given from the window's top left corner.
void clickAt(const QString& window, QPoint at);

// Where a window stands on the screen and its size; empty when xdotool cannot tell.
QRect windowGeometry(const QString& window);

// The real program, started on the test display and found there by its main window. The
// program ends with this object if it is still running.
class ProgramOnDisplay {
public:
    // The program of the build tree unless another is named, started with these arguments.
    explicit ProgramOnDisplay(const QString& program = {}, const QStringList& arguments = {});
    ~ProgramOnDisplay();

    // Starts the program and waits up to ten seconds for its main window and then for its
    // first paint; on failure says what went wrong.
    bool start(QProcessEnvironment environment = QProcessEnvironment::systemEnvironment(),
               const QString& workingDirectory = {}, QString* failure = nullptr);
    void stop();

    QProcess& process() { return process_; }
    QString mainWindow() const { return mainWindow_; }
    // The program's visible windows whose title matches the pattern.
    QStringList windowsNamed(const QString& pattern);

private:
    QString program_;
    QStringList arguments_;
    QProcess process_;
    QString mainWindow_;
};

}  // namespace testsupport
