#pragma once
// The small list pictures, drawn by the program: oscilloscope-style traces for the waveforms,
// dark curves on a light ground for the modulation shapes, rings for the channel layouts.
// Window thread (QPixmap needs the GUI application); each call paints a new pixmap.

#include <QPixmap>
#include <QString>

namespace velmora::ui {

enum class Picture {
    Sine, Square, Triangular, Sawtooth, White, Pink, SinPulseP, PulsePos, Silence,
    ModSine, ModCos, ModSquare, ModTriangle,
    Mono, Stereo,
    WhitePeriodic, PinkPeriodic, BrownPeriodic,
    Multitone, ImdSmpte, ImdCcif,
    ToneBurst, ImdDin,
};
inline constexpr int kPictureCount = 23;

// The picture's name ("SINE", "MODCOS", "STEREO", ...).
QString pictureName(Picture picture);

// Paints the picture at its own size (16 x 16; MONO 14 x 14, STEREO 15 x 14). Pure red is
// the key colour of the drawings and comes out transparent.
QPixmap drawPicture(Picture picture);

// Picture of waveform list item `index` (0-9); "MLS" shares the white-noise picture.
// A null pixmap for any other index.
QPixmap waveFormPicture(int index);
// Picture of modulation shape `index` (0-3), of channel layout `index` (0 mono, 1 stereo).
QPixmap modFunctionPicture(int index);
QPixmap channelLayoutPicture(int index);

// The program's icon at `size` x `size` pixels: a green sine on a dark screen.
QPixmap programIcon(int size);

} // namespace velmora::ui
