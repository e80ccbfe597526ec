#pragma once

#include <QString>

// Opens web addresses in the user's default browser. The browser is the program that the
// desktop associates with an empty marker file "dummy.html"; it is started directly, the
// address as its command line, without a shell in between.
namespace mOpenURL {

// Starts the default browser on `address`; true when a browser process was started.
bool OpenWebAddress(const QString& address);

// The program that would open a "dummy.html" marker file, cut at its first NUL; `resultCode`
// is the lookup's result, above 32 when a program was found. The marker lives in a private
// directory of its own inside the temporary directory only while the lookup runs.
QString FindDefaultBrowser(int& resultCode);

// The user's temporary directory with its trailing separator.
QString GetTempDirectory();

// The part of `text` before its first NUL character, or all of it when it holds none.
QString CutAtNul(const QString& text);

}  // namespace mOpenURL
