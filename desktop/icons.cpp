// Draws the program's icon for the desktop's icon theme: a scalable SVG whose squares are the
// pixels of the 32 x 32 pixel-art icon, and PNGs of the given sizes.
//
//   quorvane_icons <theme folder> <icon name> <size> ...
//
// writes <theme folder>/scalable/apps/<icon name>.svg and <size>x<size>/apps/<icon name>.png.

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTextStream>

#include <cstdio>

#include "sounds/pictures.h"

namespace {

// Each row's runs of one opaque colour become one rectangle.
QByteArray svgOf(const QImage& icon) {
    QByteArray svg;
    QTextStream out(&svg);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << icon.width() << "\" height=\""
        << icon.height() << "\" viewBox=\"0 0 " << icon.width() << ' ' << icon.height()
        << "\" shape-rendering=\"crispEdges\">\n";
    for (int y = 0; y < icon.height(); ++y) {
        for (int x = 0; x < icon.width();) {
            const QRgb colour = icon.pixel(x, y);
            int end = x + 1;
            while (end < icon.width() && icon.pixel(end, y) == colour) ++end;
            if (qAlpha(colour) != 0)
                out << "<rect x=\"" << x << "\" y=\"" << y << "\" width=\"" << end - x
                    << "\" height=\"1\" fill=\"" << QColor(colour).name() << "\"/>\n";
            x = end;
        }
    }
    out << "</svg>\n";
    out.flush();
    return svg;
}

// Whole multiples of the picture keep its pixels square and sharp; other sizes are reduced
// smoothly from the next whole multiple above them.
QImage pngOf(const QImage& icon, int size) {
    const int multiple = (size + icon.width() - 1) / icon.width();
    const QImage sharp = icon.scaled(icon.size() * multiple, Qt::IgnoreAspectRatio,
                                     Qt::FastTransformation);
    if (sharp.width() == size) return sharp;
    return sharp.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

bool write(const QString& path, const QByteArray& contents) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(contents) == contents.size();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <theme folder> <icon name> <size> ...\n", argv[0]);
        return 2;
    }
    const QDir theme(QString::fromLocal8Bit(argv[1]));
    const QString name = QString::fromLocal8Bit(argv[2]);
    const QImage icon = sounds::programIconImage().convertToFormat(QImage::Format_ARGB32);
    bool written = write(theme.filePath("scalable/apps/" + name + ".svg"), svgOf(icon));
    for (int i = 3; i < argc; ++i) {
        const int size = QByteArray(argv[i]).toInt();
        const QString path = theme.filePath(QString("%1x%1/apps/%2.png").arg(size).arg(name));
        QDir().mkpath(QFileInfo(path).path());
        written = size > 0 && pngOf(icon, size).save(path, "PNG") && written;
    }
    if (!written) std::fprintf(stderr, "%s: could not write the icons\n", argv[0]);
    return written ? 0 : 1;
}
