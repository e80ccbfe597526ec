#pragma once

#include <QByteArray>
#include <QString>

// Opens web addresses in the user's default browser: the desktop's handler for the address's
// scheme or, where none is set, the program that the desktop associates with an empty marker
// file "dummy.html". The handler is started as the desktop starts it, the address in place of
// its entry's URL field. Paths are the system's bytes, whatever their encoding.
namespace mOpenURL {

// Starts the default browser on `address` (one argument, however it is written), with the
// desktop's launch context so that its window comes to the front; true when a browser was
// started.
bool OpenWebAddress(const QString& address);

// The program that would open a "dummy.html" marker file, the browser of addresses whose
// scheme has no handler of its own; `resultCode` is the lookup's result, above 32 when a
// program was found. The marker lives in a private folder of its own inside
// the temporary directory (the system's when the user's cannot be used) only while the lookup
// runs.
QByteArray FindDefaultBrowser(int& resultCode);

// The user's temporary directory with its trailing separator.
QByteArray GetTempDirectory();

// The part of `text` before its first NUL character, or all of it when it holds none.
QByteArray CutAtNul(const QByteArray& text);

}  // namespace mOpenURL
