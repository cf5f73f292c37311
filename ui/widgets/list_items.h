#pragma once
// Item texts of the main window's lists. Window thread; each call builds new strings.

#include "engine/settings.h"

#include <QString>
#include <QStringList>

namespace velmora::ui {

using velmora::Channel;

// Text of waveform item `index` (0-9) of the left or right list. Items 7-9 carry a hidden
// "Noise" ending, padded with spaces to 52 characters (left) or 51 (right), which the export's
// file naming looks for; the list draws them too wide to show it.
QString waveFormItemText(int index, Channel side);
QStringList waveFormItems(Channel side);

// "Sine " (with its trailing space), "Cosine", "Square", "Triangular".
QStringList modFunctionItems();
// "1.42:1" ... "10:1".
QStringList crestFactorItems();
// "Mono", "Stereo".
QStringList channelLayoutItems();
// The tone burst's windows: "Hann", "None".
QStringList burstWindowItems();
// A periodic noise's ready bands: "Full", "500:2000" (speaker level), "30:80" (subwoofer level).
QStringList noiseBandItems();

} // namespace velmora::ui
