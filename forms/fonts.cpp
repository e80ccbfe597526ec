#include "fonts.h"

#include <QDir>
#include <QFontDatabase>
#include <QFontInfo>

#include <cmath>

namespace forms {

namespace {

const char* const kFontDirectory = "/usr/share/wine/fonts";

int pointsToPixels(double points) { return static_cast<int>(std::lround(points * 96.0 / 72.0)); }

QFont face(const QString& family, double points, bool bold) {
    QFont font(family);
    font.setPixelSize(pointsToPixels(points));
    font.setBold(bold);
    font.setStyleHint(QFont::SansSerif);
    if (QFontInfo(font).family() != family) font.setFamilies({family, "DejaVu Sans", "sans-serif"});
    return font;
}

}  // namespace

void registerFonts() {
    for (const char* file : {"ms_sans_serif.ttf", "tahoma.ttf", "tahomabd.ttf"}) {
        const QString path = QDir(kFontDirectory).filePath(file);
        if (QFile::exists(path)) QFontDatabase::addApplicationFont(path);
    }
}

QFont msSansSerif(double points, bool bold) { return face("MS Sans Serif", points, bold); }

QFont tahoma(double points, bool bold) { return face("Tahoma", points, bold); }

}  // namespace forms
