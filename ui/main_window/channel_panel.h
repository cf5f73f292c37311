#pragma once
// One channel's box in the generator window: waveform list, the three alternative panels
// (frequency, noise, sequence), level and modulation. Left and right are built by the same
// code; the few differences are branches on the side. Window thread.

#include "ui/widgets/list_items.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QSlider;
class QWidget;

namespace velmora::ui {

class PictureComboBox;

// The widgets of one channel. Each field is named after its control with the side taken off
// (WaveForm is WaveFormLeft / WaveFormRight); the comment gives the left and right names
// where they do not follow that pattern.
struct ChannelWidgets {
    QGroupBox* boxAll = nullptr;            // boxLeftAll / boxRightAll
    QCheckBox* Tick = nullptr;              // Lefttick / RightTick
    QLabel* lblWaveFunction = nullptr;      // Label16 / Label18
    PictureComboBox* WaveForm = nullptr;

    // Frequency panel.
    QGroupBox* boxFrequency = nullptr;      // boxLeftFrequency / boxFrequencyRight
    QRadioButton* chkConstant = nullptr;
    QRadioButton* chkSweep = nullptr;
    QLabel* lblFreqFrom = nullptr;          // "From"
    QLineEdit* fInit = nullptr;
    QLabel* lblFromFreq = nullptr;          // "Hz" behind the start field
    QLabel* lblFreqTo = nullptr;            // "to"
    QLineEdit* fFinal = nullptr;
    QLabel* lblHzTo = nullptr;              // "Hz" behind the final field
    QCheckBox* Logarithmic = nullptr;       // also "Negative Polarity" for the pulses
    QCheckBox* Bidirectional = nullptr;
    QPushButton* fInitPlus = nullptr;       // fInitLeftPlus / fInitRightPlus
    QPushButton* fInitMinus = nullptr;      // fInitLeftMinus / fInitRightMinus
    QPushButton* SemiUp = nullptr;
    QPushButton* SemiDown = nullptr;
    // The tone burst's rows, in the place of the sweep's (the burst is a constant tone).
    QLabel* lblCycles = nullptr;            // "Cycles"
    QLineEdit* txtCycles = nullptr;
    QLabel* lblBurstWindow = nullptr;       // lblBurstWindowL / lblBurstWindowR "Window"
    QComboBox* cboBurstWindow = nullptr;    // cboBurstWindowL / cboBurstWindowR

    // Noise panel.
    QGroupBox* grpNoise = nullptr;          // grpNoiseL / grpNoiseR
    QLabel* lblPeakRMSratio = nullptr;      // lblPeakRMSratioL / lblPeakRMSratioR
    QComboBox* cboCrestFactor = nullptr;    // cboCrestFactorL / cboCrestFactorR

    // Sequence panel.
    QGroupBox* grpMLS = nullptr;            // grpMLSLeft / grpMLSRight
    QLabel* lblMLSLength = nullptr;         // "Length (bits)"
    QLineEdit* txtMLSLength = nullptr;
    QLabel* lblMLSSeed = nullptr;           // "Seed"
    QLineEdit* txtMLSSeed = nullptr;
    // A periodic noise's band, below the sequence panel: an editable list of ready bands.
    QLabel* lblBand = nullptr;              // lblBandL / lblBandR "Band (Hz)"
    QComboBox* cboBand = nullptr;           // cboBandL / cboBandR

    // Level.
    QGroupBox* boxAmplitude = nullptr;      // boxAmplitudeleft / boxAmplituderight
    QSlider* barAmplitude = nullptr;
    QLineEdit* Amplitude = nullptr;
    QLabel* lbldBFS = nullptr;              // lbldBFSleft / lbldBFSright
    QLabel* lblLevelLimit = nullptr;        // a periodic noise played below its level

    // Modulation.
    QGroupBox* boxAmpMod = nullptr;
    QCheckBox* ModulationOn = nullptr;
    QLabel* lblAMfunction = nullptr;
    PictureComboBox* ModFunction = nullptr;
    QLabel* lblModDepth = nullptr;          // Label13 / Label27 "Depth"
    QLineEdit* ModDepthEdit = nullptr;
    QLabel* lblModDepthUnit = nullptr;      // Label9 / Label3 "%"
    QLabel* lblAMperiod = nullptr;
    QLineEdit* ModPeriodEdit = nullptr;
    QLabel* lblModPeriodUnit = nullptr;     // Label2 / Label15 "s"
    QLabel* lblModPhase = nullptr;          // Label14 / Label29 "Phase"
    QLineEdit* ModPhaseEdit = nullptr;
    QLabel* lblModPhaseUnit = nullptr;      // Label11 / Label20 "°"

    // Pop-up menu of the channel box: copy the other channel's settings into this one.
    QMenu* copyMenu = nullptr;              // mnuCopyRtoL / mnuCopyLtoR
    QAction* copySettings = nullptr;        // CopySettingsfromrightChannel1 / CopySettingsfromleftChannel1
};

// Builds the channel box of `side` on the window's client area `client`, with the form's
// initial contents (waveform "Sine", Constant, modulation shape "Cosine", crest factor
// "1.42:1"). Allocates the widgets, all owned by `client`.
ChannelWidgets buildChannelPanel(Channel side, QWidget* client);

} // namespace velmora::ui
