#pragma once

#include <QFont>

namespace forms {

// Registers the metric-compatible "MS Sans Serif" and "Tahoma" faces where the system has
// them (Debian's fonts-wine); call once after the application object exists.
void registerFonts();

// The layouts' two faces at a size in points; where a face is missing, a common sans face
// at the same pixel size stands in (96 dots per inch: 8.25 pt is 11 px, 9.75 pt is 13 px).
QFont msSansSerif(double points, bool bold = false);
QFont tahoma(double points, bool bold = false);

}  // namespace forms
