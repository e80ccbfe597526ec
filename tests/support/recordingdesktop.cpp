#include "recordingdesktop.h"

#include <sys/wait.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>

#include <cerrno>

namespace testsupport {

namespace {

void writeFile(const QString& path, const QByteArray& contents, bool executable = false) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) qFatal("cannot write %s", qPrintable(path));
    file.write(contents);
    file.close();
    if (executable) file.setPermissions(file.permissions() | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther);
}

QString quoted(const QString& text) { return '\'' + QString(text).replace('\'', "'\\''") + '\''; }

}  // namespace

RecordingDesktop::RecordingDesktop() {
    QDir root(root_.path());
    for (const char* folder : {"data/applications", "config", "system", "records"}) root.mkpath(folder);
    QFile::link("/usr/share/mime", root.filePath("data/mime"));
    writeDefaults();
}

void RecordingDesktop::useInThisProcess() const {
    const QProcessEnvironment own = environment(QProcessEnvironment());
    for (const QString& key : own.keys()) qputenv(key.toLocal8Bit(), own.value(key).toLocal8Bit());
}

QProcessEnvironment RecordingDesktop::environment(const QProcessEnvironment& base) const {
    QProcessEnvironment result = base;
    const QDir root(root_.path());
    result.insert("XDG_DATA_HOME", root.filePath("data"));
    result.insert("XDG_CONFIG_HOME", root.filePath("config"));
    result.insert("XDG_DATA_DIRS", root.filePath("system"));
    result.insert("XDG_CONFIG_DIRS", root.filePath("system"));
    return result;
}

QString RecordingDesktop::addHandler(const QString& name, const QString& folder,
                                     const QStringList& types, const QString& exec) {
    const QString record = quoted(recordPath(name));
    const QString script = addScript(
        QDir(folder).filePath(name),
        QString("{ pwd; for argument in \"$@\"; do printf '%s\\n' \"$argument\"; done; } > %1.part\n"
                "printf '%s' \"$DESKTOP_STARTUP_ID\" > %1.startup\n"
                "printf '%s' \"$XDG_ACTIVATION_TOKEN\" > %1.token\n"
                "mv %1.part %1\n")
            .arg(record));
    QString command = exec.isEmpty() ? QString("{script} %u") : exec;
    command.replace("{script}", '"' + script + '"');
    writeFile(entry(name), QString("[Desktop Entry]\nType=Application\nName=%1\nExec=%2\nMimeType=%3;\n"
                                       "StartupNotify=true\n")
                               .arg(name, command, types.join(';'))
                               .toUtf8());
    for (const QString& type : types) defaults_.append(type + '=' + name + ".desktop");
    writeDefaults();
    return script;
}

QString RecordingDesktop::entry(const QString& name) const {
    return QDir(root_.path()).filePath("data/applications/" + name + ".desktop");
}

QString RecordingDesktop::addScript(const QString& name, const QString& body) {
    const QString path = QDir(root_.path()).filePath(name);
    QDir().mkpath(QFileInfo(path).path());
    writeFile(path, ("#!/bin/sh\n" + body).toUtf8(), true);
    return path;
}

QStringList RecordingDesktop::takeRecord(const QString& name, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    QFile record(recordPath(name));
    while (!record.exists() && !deadline.hasExpired()) QThread::msleep(20);
    if (!record.open(QIODevice::ReadOnly)) return {};
    QStringList lines = QString::fromUtf8(record.readAll()).split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    record.remove();
    return lines;
}

bool RecordingDesktop::hasRecord(const QString& name) const { return QFile::exists(recordPath(name)); }

QString RecordingDesktop::startupId(const QString& name) const {
    QFile file(recordPath(name) + ".startup");
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString RecordingDesktop::activationToken(const QString& name) const {
    QFile file(recordPath(name) + ".token");
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString RecordingDesktop::recordPath(const QString& name) const {
    return QDir(root_.path()).filePath("records/" + name);
}

void RecordingDesktop::writeDefaults() {
    writeFile(QDir(root_.path()).filePath("config/mimeapps.list"),
              ("[Default Applications]\n" + defaults_.join('\n') + '\n').toUtf8());
}

bool hasNoChildren() {
    int status = 0;
    return waitpid(-1, &status, WNOHANG) < 0 && errno == ECHILD;
}

}  // namespace testsupport
