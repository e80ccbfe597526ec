#include "pictures.h"

#include <QPixmap>

namespace sounds {
namespace {

#include "pictures/loudspeaker.xpm"
#include "pictures/programicon.xpm"

}  // namespace

QImage programIconImage() {
    static const QImage image(program_icon_xpm);
    return image;
}

QIcon programIcon() {
    return QIcon(QPixmap::fromImage(programIconImage()));
}

QImage loudspeakerPicture() {
    static const QImage image(loudspeaker_xpm);
    return image;
}

}  // namespace sounds
