#include "programondisplay.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QTest>

namespace testsupport {

QString xdotool(const QStringList& arguments) {
    QProcess tool;
    tool.start("xdotool", arguments);
    if (!tool.waitForFinished(5000)) tool.kill();
    return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
}

void clickAt(const QString& window, QPoint at) {
    xdotool({"mousemove", "--window", window, QString::number(at.x()), QString::number(at.y()),
             "click", "1"});
}

QRect windowGeometry(const QString& window) {
    // "Window 123\n  Position: 428,290 (screen: 0)\n  Geometry: 423x443"
    static const QRegularExpression shape(R"(Position: (\d+),(\d+).*Geometry: (\d+)x(\d+))",
                                          QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = shape.match(xdotool({"getwindowgeometry", window}));
    if (!match.hasMatch()) return {};
    return QRect(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt(),
                 match.captured(4).toInt());
}

ProgramOnDisplay::ProgramOnDisplay(const QString& program, const QStringList& arguments)
    : program_(program.isEmpty() ? qEnvironmentVariable("QUORVANE_BINARY_DIR") + "/app/quorvane"
                                 : program),
      arguments_(arguments) {}

ProgramOnDisplay::~ProgramOnDisplay() { stop(); }

bool ProgramOnDisplay::start(QProcessEnvironment environment, const QString& workingDirectory,
                             QString* failure) {
    mainWindow_.clear();
    environment.insert("QT_QPA_PLATFORM", "xcb");
    process_.setProcessEnvironment(environment);
    if (!workingDirectory.isEmpty()) process_.setWorkingDirectory(workingDirectory);
    process_.start(program_, arguments_);
    if (process_.waitForStarted(5000)) {
        QDeadlineTimer deadline(10000);
        while (mainWindow_.isEmpty() && process_.state() == QProcess::Running &&
               !deadline.hasExpired()) {
            mainWindow_ = windowsNamed("^Quorvane  \\(version").value(0);
            if (mainWindow_.isEmpty()) QTest::qWait(50);
        }
    }
    if (!mainWindow_.isEmpty()) {
        QTest::qWait(300);  // first paint
        return true;
    }
    if (failure)
        *failure = QString("no main window; the program %1, says: %2")
                       .arg(process_.state() == QProcess::Running ? "runs" : "ended")
                       .arg(QString::fromUtf8(process_.readAllStandardError()));
    return false;
}

void ProgramOnDisplay::stop() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.kill();
    process_.waitForFinished(2000);
}

QStringList ProgramOnDisplay::windowsNamed(const QString& pattern) {
    return xdotool({"search", "--all", "--onlyvisible", "--pid",
                    QString::number(process_.processId()), "--name", pattern})
        .split('\n', Qt::SkipEmptyParts);
}

}  // namespace testsupport
