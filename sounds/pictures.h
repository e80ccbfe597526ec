#pragma once

#include <QIcon>
#include <QImage>

namespace sounds {

// The program's icon: a white-gloved hand with a red cuff holding a yellow telephone handset,
// 32 x 32 pixels in 16 colours with a transparent background.
QIcon programIcon();
QImage programIconImage();

// The loudspeaker that stands beside each sound button: grey sound lines and a small red flag,
// 32 x 32 pixels in 16 colours.
QImage loudspeakerPicture();

}  // namespace sounds
