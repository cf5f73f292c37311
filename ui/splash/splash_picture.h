#pragma once
// The start-up splash's picture, drawn by the program: a title card for Velmora, 557 x 321
// pixels. Pure white is its key colour: the white around the card's rounded corners is left
// out of the window. Window thread (needs the GUI application); paints a new image per call.

#include <QImage>
#include <QSize>

namespace velmora::ui {

inline constexpr QSize kSplashSize{557, 321};

QImage drawSplashPicture();

} // namespace velmora::ui
