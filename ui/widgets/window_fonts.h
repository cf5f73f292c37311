#pragma once
// The generator windows' fonts: the desktop's sans font at the window's 8 points, and the
// 7-point size of the small labels and the channel-layout list. Window thread.

#include <QFont>

namespace velmora::ui {

QFont windowFont();
QFont smallWindowFont();

} // namespace velmora::ui
