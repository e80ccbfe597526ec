#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace testsupport {

// A desktop of a test's own: private XDG data, config and system folders (the system's MIME
// database linked in) in which recording scripts are the default handlers for chosen MIME
// types and URI schemes; their entries take part in startup notification, as browsers' and
// mail clients' do. Each time a script runs it writes a record: its working directory on the
// first line, then its arguments, one a line; and it keeps the startup-notification id and
// the activation token it was given.
class RecordingDesktop {
public:
    RecordingDesktop();

    // The XDG variables that select this desktop, for this process (before its first desktop
    // lookup) or for a program started from it.
    void useInThisProcess() const;
    QProcessEnvironment environment(
        const QProcessEnvironment& base = QProcessEnvironment::systemEnvironment()) const;

    // Installs a recording script `name` in `folder` (made below the desktop's root; it may
    // hold blanks) as the default handler of `types` ("text/html", "x-scheme-handler/mailto").
    // `exec` is the Exec line of its desktop entry, "{script}" standing for the script's
    // quoted path; it is "{script} %u" unless given. Returns the script's full path.
    QString addHandler(const QString& name, const QString& folder, const QStringList& types,
                       const QString& exec = {});
    // The desktop entry file of handler `name`.
    QString entry(const QString& name) const;

    // A script that runs a shell command line, for tests that need more than a record.
    QString addScript(const QString& name, const QString& body);

    // The record of handler `name` once it has been written, within `timeoutMs`; empty when
    // none came. The record is taken away, so the next run writes a fresh one.
    QStringList takeRecord(const QString& name, int timeoutMs = 5000);
    bool hasRecord(const QString& name) const;
    // DESKTOP_STARTUP_ID and XDG_ACTIVATION_TOKEN as handler `name` saw them the last time it
    // ran.
    QString startupId(const QString& name) const;
    QString activationToken(const QString& name) const;

    QString root() const { return root_.path(); }

private:
    QString recordPath(const QString& name) const;
    void writeDefaults();

    QTemporaryDir root_;
    QStringList defaults_;
};

// True when this process has no child process at all, running or a zombie.
bool hasNoChildren();

}  // namespace testsupport
