#include "fonts.h"

#include <QDir>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>

#include <cmath>

namespace forms {

namespace {

const char* const kFontDirectory = "/usr/share/wine/fonts";
const char* const kSansSerif = "MS Sans Serif";
const char* const kTahoma = "Tahoma";

int pointsToPixels(double points) { return static_cast<int>(std::lround(points * 96.0 / 72.0)); }

// "MS Sans Serif" is a bitmap face whose strikes are named by their cell height: the 13 px
// strike is 8 pt system text (an 11 px em), 16 px is 10 pt, 20 px is 12 pt. The strike for a
// size is the one whose cell is nearest to 1.2 em.
int sansSerifStrike(int emPixels) {
    const double cell = emPixels * 1.2;
    int best = 13;
    for (int strike : {13, 16, 20})
        if (std::abs(strike - cell) < std::abs(best - cell)) best = strike;
    return best;
}

bool isFamily(const QFont& font, const QString& family) {
    return QFontInfo(font).family().compare(family, Qt::CaseInsensitive) == 0;
}

QFont outline(const QString& family, int emPixels, bool bold) {
    QFont font(family);
    font.setPixelSize(emPixels);
    font.setBold(bold);
    font.setStyleHint(QFont::SansSerif);
    if (!isFamily(font, family)) font.setFamilies({family, "DejaVu Sans", "sans-serif"});
    return font;
}

// A bitmap face has strikes for screen pixels only: on a dense screen (device pixel ratio above
// 1) its text would come out at the strike's size in device pixels, small and spread apart.
bool denseScreen() { return qGuiApp && qGuiApp->devicePixelRatio() > 1; }

// The bitmap strike when the screen's pixels are the layout's and the font database offers
// the strike at that height. Elsewhere (a dense screen, or only some strikes of the face in the
// database, where a strike of another height would make the text too small or too large)
// Tahoma, the face's outline relative, stands in at the same em size.
QFont sansSerif(int emPixels, bool bold) {
    if (!denseScreen()) {
        const int strike = sansSerifStrike(emPixels);
        QFont font(kSansSerif);
        font.setPixelSize(strike);
        font.setBold(bold);
        font.setStyleStrategy(QFont::PreferBitmap);
        const QFontInfo info(font);
        if (isFamily(font, kSansSerif) && info.pixelSize() == strike) return font;
    }
    return outline(kTahoma, emPixels, bold);
}

}  // namespace

void registerFonts() {
    static bool registered = false;
    if (registered) return;
    registered = true;
    for (const char* file : {"ms_sans_serif.ttf", "tahoma.ttf", "tahomabd.ttf"}) {
        const QString path = QDir(kFontDirectory).filePath(file);
        if (QFile::exists(path)) QFontDatabase::addApplicationFont(path);
    }
}

QFont msSansSerif(double points, bool bold) { return sansSerif(pointsToPixels(points), bold); }

QFont tahoma(double points, bool bold) { return outline(kTahoma, pointsToPixels(points), bold); }

}  // namespace forms
