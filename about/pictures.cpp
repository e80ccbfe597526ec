#include "pictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace about {

namespace {

#include "pictures/envelope16.xpm"
#include "pictures/envelope32.xpm"
#include "pictures/pointinghand.xpm"

constexpr int kBannerWidth = 77;
constexpr int kBannerHeight = 201;
constexpr QPoint kHandHotSpot{12, 1};

void paintSky(QPainter& painter) {
    QLinearGradient sky(0, 0, 0, kBannerHeight);
    sky.setColorAt(0.0, QColor(0, 0, 128));
    sky.setColorAt(0.6, QColor(24, 48, 160));
    sky.setColorAt(1.0, QColor(72, 112, 200));
    painter.fillRect(0, 0, kBannerWidth, kBannerHeight, sky);
}

void paintWaves(QPainter& painter, const QPointF& source) {
    for (int ring = 1; ring <= 6; ++ring) {
        const double radius = 14.0 * ring;
        const int alpha = 230 - ring * 30;
        painter.setPen(QPen(QColor(255, 255, 255, alpha), 2.0, Qt::SolidLine, Qt::RoundCap));
        painter.drawArc(QRectF(source.x() - radius, source.y() - radius, 2 * radius, 2 * radius),
                        50 * 16, 80 * 16);
    }
}

void paintHandset(QPainter& painter, const QPointF& centre) {
    QPainterPath handset;
    handset.addRoundedRect(QRectF(-22, -6, 44, 10), 5, 5);
    handset.addRoundedRect(QRectF(-26, -2, 14, 12), 4, 4);
    handset.addRoundedRect(QRectF(12, -2, 14, 12), 4, 4);
    painter.save();
    painter.translate(centre);
    painter.rotate(-12);
    painter.setPen(QPen(QColor(0, 0, 64), 1.5));
    painter.setBrush(QColor(255, 208, 32));
    painter.drawPath(handset.simplified());
    painter.restore();
}

void paintLevelBars(QPainter& painter) {
    const int heights[] = {10, 22, 34, 18, 28, 12};
    for (int i = 0; i < 6; ++i) {
        const QRectF bar(10 + i * 10, 70 - heights[i], 6, heights[i]);
        painter.fillRect(bar, QColor(128, 192, 255, 160));
    }
}

QImage paintBanner() {
    QImage banner(kBannerWidth, kBannerHeight, QImage::Format_RGB888);
    QPainter painter(&banner);
    painter.setRenderHint(QPainter::Antialiasing);
    paintSky(painter);
    paintLevelBars(painter);
    const QPointF handset(38, 170);
    paintWaves(painter, handset + QPointF(0, -8));
    paintHandset(painter, handset);
    return banner;
}

}  // namespace

// Each picture is drawn or decoded once and shared from then on.
QImage sideBanner() {
    static const QImage banner = paintBanner();
    return banner;
}

QImage pointingHandImage() {
    static const QImage image(pointing_hand_xpm);
    return image;
}

QCursor pointingHandCursor() {
    return QCursor(QPixmap::fromImage(pointingHandImage()), kHandHotSpot.x(), kHandHotSpot.y());
}

QIcon envelopeIcon() {
    QIcon icon;
    icon.addPixmap(QPixmap(envelope32_xpm));
    icon.addPixmap(QPixmap(envelope16_xpm));
    return icon;
}

QCursor envelopeCursor() { return QCursor(QPixmap(envelope32_xpm), 16, 16); }

}  // namespace about
