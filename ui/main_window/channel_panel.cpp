#include "ui/main_window/channel_panel.h"

#include "ui/widgets/label_hover.h"
#include "ui/widgets/level_slider.h"
#include "ui/widgets/picture_combo_box.h"
#include "ui/widgets/pictures.h"
#include "ui/main_window/widget_factory.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

namespace velmora::ui {

namespace {

// Most controls are named <stem>Left / <stem>Right; the rest name both sides explicitly.
struct Namer {
    Channel side;
    QString operator()(const char* stem) const
    {
        return QLatin1String(stem) + (side == Channel::Left ? QLatin1String("Left") : QLatin1String("Right"));
    }
    QString pick(const char* left, const char* right) const
    {
        return QLatin1String(side == Channel::Left ? left : right);
    }
};

// Check boxes that sit on a frame's caption line paint their own ground, so the frame line
// does not run through them.
void coverCaptionLine(QCheckBox* box)
{
    box->setAutoFillBackground(true);
    box->raise();
}

void buildFrequencyPanel(ChannelWidgets& w, const Namer& name, QGroupBox* box)
{
    const bool left = name.side == Channel::Left;
    w.boxFrequency = makeGroupBox(box, name.pick("boxLeftFrequency", "boxFrequencyRight"),
                                  QStringLiteral(" Frequency "), QRect(8, 60, 278, 137));
    QGroupBox* panel = w.boxFrequency;

    w.chkConstant = makeRadioButton(panel, name("chkConstant"), QStringLiteral("Constant"), QRect(12, 20, 80, 17),
                                    QStringLiteral("Signal with constant frequency"));
    w.chkConstant->setChecked(true);
    w.chkSweep = makeRadioButton(panel, name("chkSweep"), QStringLiteral("Sweep"), QRect(100, 20, 80, 17),
                                 left ? QStringLiteral("Signal frequency sweeps from Initial to Final during play")
                                      : QString());

    w.lblFreqFrom = makeLabel(panel, name("lblFreqFrom"), QStringLiteral("From"), 12, 51);
    w.fInit = makeEdit(panel, name("fInit"), QStringLiteral("100"), QRect(44, 48, 80, 21));
    w.lblFromFreq = makeLabel(panel, name("lblFromFreq"), QStringLiteral("Hz"), 128, 51);
    w.lblFreqTo = makeLabel(panel, name("lblFreqTo"), QStringLiteral("to"), 150, 51);
    w.fFinal = makeEdit(panel, name("fFinal"), QStringLiteral("1000"), QRect(168, 48, 80, 21));
    w.lblHzTo = makeLabel(panel, name("lblHzTo"), QStringLiteral("Hz"), 252, 51);

    // The step buttons share the final field's place: they show in Constant mode only.
    w.fInitPlus = makeButton(panel, name.pick("fInitLeftPlus", "fInitRightPlus"), QStringLiteral("+"),
                             QRect(150, 40, 35, 18), QStringLiteral("+ 1 Hz"));
    w.fInitMinus = makeButton(panel, name.pick("fInitLeftMinus", "fInitRightMinus"), QStringLiteral("-"),
                              QRect(150, 60, 35, 18), QStringLiteral("- 1 Hz"));
    w.SemiUp = makeButton(panel, name("SemiUp"), QStringLiteral("#"), QRect(189, 40, 35, 18),
                          QStringLiteral("Increase the Frequency by 1 musical semi tone"));
    w.SemiDown = makeButton(panel, name("SemiDown"), QStringLiteral("b"), QRect(189, 60, 35, 18),
                            QStringLiteral("Decrease the Frequency by 1 musical semi tone"));
    for (QPushButton* semi : {w.SemiUp, w.SemiDown}) {
        QFont italic = semi->font();
        italic.setItalic(true);
        semi->setFont(italic);
    }

    w.Logarithmic = makeCheckBox(panel, name("Logarithmic"), QStringLiteral("Logarithmic"), QRect(44, 88, 130, 17),
                                 QStringLiteral("Logarithmic change in frequency"));
    w.Bidirectional = makeCheckBox(panel, name("Bidirectional"), QStringLiteral("Bi-directional"),
                                   QRect(44, 110, 130, 17), QStringLiteral("Sweep is in both directions, up and down"));

    w.lblCycles = makeLabel(panel, name("lblCycles"), QStringLiteral("Cycles"), 12, 90);
    w.txtCycles = makeEdit(panel, name("txtCycles"), QStringLiteral("6.5"), QRect(64, 86, 60, 21),
                           QStringLiteral("Cycles of the sine in each burst; fractions allowed (6.5)"));
    w.lblBurstWindow = makeLabel(panel, name.pick("lblBurstWindowL", "lblBurstWindowR"), QStringLiteral("Window"), 12, 114);
    w.cboBurstWindow = new QComboBox(panel);
    w.cboBurstWindow->setObjectName(name.pick("cboBurstWindowL", "cboBurstWindowR"));
    w.cboBurstWindow->setGeometry(64, 110, 80, 22);
    w.cboBurstWindow->addItems(burstWindowItems());
    w.cboBurstWindow->setToolTip(QStringLiteral("The burst's envelope; the largest sample is the level"));
    for (QWidget* burstOnly : std::initializer_list<QWidget*>{w.lblCycles, w.txtCycles, w.lblBurstWindow,
                                                              w.cboBurstWindow})
        burstOnly->setVisible(false);

    // Constant mode: the sweep's fields stay out of sight.
    for (QWidget* sweepOnly : std::initializer_list<QWidget*>{w.lblFreqFrom, w.lblFreqTo, w.fFinal, w.lblHzTo,
                                                              w.Logarithmic, w.Bidirectional})
        sweepOnly->setVisible(false);
}

void buildNoisePanel(ChannelWidgets& w, const Namer& name, QGroupBox* box)
{
    w.grpNoise = makeGroupBox(box, name.pick("grpNoiseL", "grpNoiseR"), QStringLiteral(" Parameters "),
                              QRect(8, 60, 205, 105));
    w.lblPeakRMSratio = makeLabel(w.grpNoise, name.pick("lblPeakRMSratioL", "lblPeakRMSratioR"),
                                  QStringLiteral("Crest Factor"), 12, 34);
    w.lblPeakRMSratio->setCursor(Qt::WhatsThisCursor);
    LabelHover::install(w.lblPeakRMSratio);
    w.cboCrestFactor = new QComboBox(w.grpNoise);
    w.cboCrestFactor->setObjectName(name.pick("cboCrestFactorL", "cboCrestFactorR"));
    w.cboCrestFactor->setGeometry(96, 30, 90, 22);
    w.cboCrestFactor->addItems(crestFactorItems());
    w.cboCrestFactor->setCurrentIndex(0);
    w.grpNoise->setVisible(false);
}

void buildSequencePanel(ChannelWidgets& w, const Namer& name, QGroupBox* box)
{
    const bool left = name.side == Channel::Left;
    w.grpMLS = makeGroupBox(box, name("grpMLS"), QStringLiteral(" MLS Parameters "),
                            left ? QRect(8, 60, 157, 90) : QRect(8, 60, 141, 71));
    w.lblMLSLength = makeLabel(w.grpMLS, name("lblMLSLength"), QStringLiteral("Length (bits)"), 8, 24);
    w.txtMLSLength = makeEdit(w.grpMLS, name("txtMLSLength"), QStringLiteral("16"), QRect(86, 20, 46, 21));
    w.lblMLSSeed = makeLabel(w.grpMLS, name("lblMLSSeed"), QStringLiteral("Seed"), 8, 48);
    // Wide enough for every 32-bit seed; it ends where the length field does.
    w.txtMLSSeed = makeEdit(w.grpMLS, name("txtMLSSeed"), left ? QStringLiteral("1") : QStringLiteral("34757"),
                            QRect(40, 44, 92, 21));
    w.grpMLS->setVisible(false);

    w.lblBand = makeLabel(box, name.pick("lblBandL", "lblBandR"), QStringLiteral("Band (Hz)"), 16, 164);
    w.cboBand = new QComboBox(box);
    w.cboBand->setObjectName(name.pick("cboBandL", "cboBandR"));
    w.cboBand->setEditable(true);
    w.cboBand->setInsertPolicy(QComboBox::NoInsert);
    w.cboBand->setGeometry(80, 160, 110, 22);
    w.cboBand->addItems(noiseBandItems());
    w.cboBand->setToolTip(QStringLiteral("The noise's band: Full (10 Hz up), 500:2000 (speaker level), "
                                         "30:80 (subwoofer level), or LOW:HIGH in Hz"));
    w.lblBand->setVisible(false);
    w.cboBand->setVisible(false);
}

void buildLevelPanel(ChannelWidgets& w, const Namer& name, QGroupBox* box)
{
    const bool left = name.side == Channel::Left;
    const QString hint = left ? QStringLiteral("Signal Amplitude of the left/mono Channel")
                              : QStringLiteral("Signal Amplitude of the right stereo Channel");
    w.boxAmplitude = makeGroupBox(box, name.pick("boxAmplitudeleft", "boxAmplituderight"),
                                  QStringLiteral(" Amplitude "), QRect(8, 203, 98, 218));
    w.barAmplitude = new LevelSlider(w.boxAmplitude);
    w.barAmplitude->setObjectName(name("barAmplitude"));
    w.barAmplitude->setGeometry(39, 20, 20, 156);
    w.barAmplitude->setRange(0, 10000);
    w.barAmplitude->setTickInterval(10);
    w.barAmplitude->setTickPosition(QSlider::TicksRight);
    w.barAmplitude->setValue(0);
    // Position 0 is the top: full level; the slider runs down to -100 dBFS.
    w.barAmplitude->setInvertedAppearance(true);
    // ... and the arrow keys, page keys and wheel move the handle the way they point.
    w.barAmplitude->setInvertedControls(true);
    w.barAmplitude->setToolTip(hint);
    w.Amplitude = makeEdit(w.boxAmplitude, name("Amplitude"), QStringLiteral("0"), QRect(10, 184, 48, 21), hint);
    w.lbldBFS = makeLabel(w.boxAmplitude, name.pick("lbldBFSleft", "lbldBFSright"), QStringLiteral("dBFS"), 62, 188);
    // Shown while a periodic noise plays below its level so that its peaks stay in range.
    w.lblLevelLimit = makeLabel(w.boxAmplitude, name("lblLevelLimit"), QString(), 8, 206);
    w.lblLevelLimit->setStyleSheet(QStringLiteral("color: rgb(192, 0, 0); font-size: 7pt"));
    w.lblLevelLimit->setGeometry(6, 206, 88, 11);
    w.lblLevelLimit->setVisible(false);
}

void buildModulationPanel(ChannelWidgets& w, const Namer& name, QGroupBox* box)
{
    w.boxAmpMod = makeGroupBox(box, name("boxAmpMod"), QStringLiteral(" Amplitude Modulation"),
                               QRect(112, 203, 174, 218));
    QGroupBox* panel = w.boxAmpMod;
    w.ModulationOn = makeCheckBox(panel, name("ModulationOn"), QString(), QRect(146, 0, 14, 14));
    coverCaptionLine(w.ModulationOn);

    w.lblAMfunction = makeLabel(panel, name("lblAMfunction"), QStringLiteral("Function"), 10, 22);
    w.ModFunction = new PictureComboBox(ItemLayout{18, 2, 2}, panel);
    w.ModFunction->setObjectName(name("ModFunction"));
    w.ModFunction->setGeometry(10, 38, 132, 24);
    w.ModFunction->setToolTip(QStringLiteral("Waveform of the Signal Modulation "));
    const QStringList shapes = modFunctionItems();
    for (int i = 0; i < shapes.size(); ++i)
        w.ModFunction->addPictureItem(shapes[i], modFunctionPicture(i));
    w.ModFunction->setCurrentIndex(1);

    w.lblModDepth = makeLabel(panel, name.pick("Label13", "Label27"), QStringLiteral("Depth"), 10, 78);
    w.ModDepthEdit = makeEdit(panel, name.pick("ModDepthLeftEdit", "ModDepthRightEdit"), QStringLiteral("100"),
                              QRect(56, 74, 60, 21), QStringLiteral("Depth of the Modulation in %"));
    w.lblModDepthUnit = makeLabel(panel, name.pick("Label9", "Label3"), QStringLiteral("%"), 120, 78);
    w.lblAMperiod = makeLabel(panel, name("lblAMperiod"), QStringLiteral("Period"), 10, 108);
    w.ModPeriodEdit = makeEdit(panel, name.pick("ModPeriodLeftEdit", "ModPeriodRightEdit"), QStringLiteral("1"),
                               QRect(56, 104, 60, 21), QStringLiteral("Modulation period"));
    w.lblModPeriodUnit = makeLabel(panel, name.pick("Label2", "Label15"), QStringLiteral("s"), 120, 108);
    w.lblModPhase = makeLabel(panel, name.pick("Label14", "Label29"), QStringLiteral("Phase"), 10, 138);
    w.ModPhaseEdit = makeEdit(panel, name.pick("ModPhaseLeftEdit", "ModPhaseRightEdit"), QStringLiteral("0"),
                              QRect(56, 134, 60, 21),
                              QStringLiteral("Phase of the modulation relative to the signal start"));
    w.lblModPhaseUnit = makeLabel(panel, name.pick("Label11", "Label20"), QStringLiteral("\u00B0"), 120, 138);
}

} // namespace

ChannelWidgets buildChannelPanel(Channel side, QWidget* client)
{
    const Namer name{side};
    const bool left = side == Channel::Left;
    ChannelWidgets w;

    // The captions are padded so that the frame line stops short of the check boxes that
    // sit on it ("On", and on the right "Same as Left", which belongs to the window).
    w.boxAll = makeGroupBox(client, name.pick("boxLeftAll", "boxRightAll"),
                            left ? QStringLiteral("Left Channel") + QString(13, QLatin1Char(' '))
                                 : QStringLiteral("Right Channel") + QString(44, QLatin1Char(' ')),
                            left ? QRect(11, 60, 300, 429) : QRect(317, 60, 300, 429));
    QGroupBox* box = w.boxAll;

    w.Tick = makeCheckBox(box, name.pick("Lefttick", "RightTick"), QStringLiteral("On"), QRect(104, 0, 44, 17));
    w.Tick->setChecked(true);
    coverCaptionLine(w.Tick);

    w.lblWaveFunction = makeLabel(box, name.pick("Label16", "Label18"), QStringLiteral(" Wave Function "), 8, 20);
    w.WaveForm = new PictureComboBox(ItemLayout{18, 1, 2}, box);
    w.WaveForm->setObjectName(name("WaveForm"));
    w.WaveForm->setGeometry(8, 33, 152, 24);
    w.WaveForm->setToolTip(left ? QStringLiteral("Waveform of the Left Channel/mono Signal")
                                : QStringLiteral("Waveform of the right channel Signal"));
    const QStringList waves = waveFormItems(side);
    for (int i = 0; i < waves.size(); ++i)
        w.WaveForm->addPictureItem(waves[i], waveFormPicture(i));
    w.WaveForm->setCurrentIndex(0);

    buildFrequencyPanel(w, name, box);
    buildNoisePanel(w, name, box);
    buildSequencePanel(w, name, box);
    buildLevelPanel(w, name, box);
    buildModulationPanel(w, name, box);

    w.copyMenu = new QMenu(box);
    w.copyMenu->setObjectName(name.pick("mnuCopyRtoL", "mnuCopyLtoR"));
    w.copySettings = w.copyMenu->addAction(left ? QStringLiteral("&Use Settings from Right Channel")
                                                : QStringLiteral("&Use Settings from Left Channel"));
    w.copySettings->setObjectName(name.pick("CopySettingsfromrightChannel1", "CopySettingsfromleftChannel1"));
    box->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(box, &QWidget::customContextMenuRequested, w.copyMenu,
                     [box, menu = w.copyMenu](const QPoint& at) { menu->popup(box->mapToGlobal(at)); });
    return w;
}

} // namespace velmora::ui
