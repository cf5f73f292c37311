#include "ui/main_window/generator_window.h"

#include "engine/numbers.h"

#include "ui/widgets/label_hover.h"
#include "ui/widgets/picture_combo_box.h"
#include "ui/widgets/pictures.h"
#include "ui/widgets/shape_circle.h"
#include "ui/widgets/up_down.h"
#include "ui/main_window/widget_factory.h"
#include "ui/widgets/window_fonts.h"

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

#include <cmath>

namespace velmora::ui {

namespace {
const QColor kGreyText(128, 128, 128);

void setTextColour(QWidget* widget, const QColor& colour)
{
    // Disabled controls keep the style's own disabled look.
    QPalette palette = widget->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::WindowText, colour);
        palette.setColor(group, QPalette::Text, colour);
    }
    widget->setPalette(palette);
}
} // namespace

QSize TfrmGenerator::clientSizeForLamp(const QRect& lamp)
{
    // Rounded to nearest, ties to even (the default floating-point rounding mode).
    return {lamp.left() + static_cast<int>(std::lrint(1.2 * lamp.width())),
            lamp.top() + static_cast<int>(std::lrint(1.3 * lamp.height()))};
}

TfrmGenerator::TfrmGenerator(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmGenerator"));
    setWindowTitle(QStringLiteral("Velmora"));
    setWindowIcon(QIcon(programIcon(48)));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(windowFont());
    setProperty("helpContext", 1);

    w_.client = new QWidget(this);
    w_.client->setObjectName(QStringLiteral("client"));
    setCentralWidget(w_.client);

    buildTopRow();
    w_.channel[0] = buildChannelPanel(Channel::Left, w_.client);
    w_.channel[1] = buildChannelPanel(Channel::Right, w_.client);
    buildPhaseControls();
    buildBottomRow();
    menu_ = buildMainMenu(this);
    applyStartupState();

    w_.client->setFixedSize(clientSizeForLamp(w_.LED->geometry()));
    adjustSize();
    setFixedSize(size());
}

void TfrmGenerator::buildTopRow()
{
    QWidget* client = w_.client;

    w_.GroupBox8 = makeGroupBox(client, QStringLiteral("GroupBox8"), QStringLiteral(" Output Device "),
                                QRect(12, 4, 247, 52));
    w_.WaveDevice = new QComboBox(w_.GroupBox8);
    w_.WaveDevice->setObjectName(QStringLiteral("WaveDevice"));
    w_.WaveDevice->setGeometry(8, 23, 231, 22);
    w_.WaveDevice->setToolTip(QStringLiteral("Output Device (Sound Card)  Selector"));
    // The device listing replaces this with the full list, which always starts with it.
    w_.WaveDevice->addItem(QStringLiteral("System Default"));

    // The duration box is wider than designed (the device box gives way) so that the
    // shortest duration, "9.07029E-5" at 44.1 kHz, shows whole beside "s" and "Repeat".
    // The controls of the top row sit in the middle of their frames' contents.
    w_.GroupBox2 = makeGroupBox(client, QStringLiteral("GroupBox2"), QStringLiteral(" Duration "),
                                QRect(265, 2, 165, 52));
    w_.Duration = makeEdit(w_.GroupBox2, QStringLiteral("Duration"), QStringLiteral("5"), QRect(8, 24, 72, 21),
                           QStringLiteral("Tone Duration in Seconds"));
    w_.lblDurationUnit = makeLabel(w_.GroupBox2, QStringLiteral("lblDurationUnit"), QStringLiteral("s"), 83, 27);
    w_.Loop = makeCheckBox(w_.GroupBox2, QStringLiteral("Loop"), QStringLiteral("Repeat"), QRect(94, 26, 66, 17),
                           QStringLiteral("Infinite Signal Loop On or Off"));

    w_.GroupBox1 = makeGroupBox(client, QStringLiteral("GroupBox1"), QStringLiteral(" Channels "),
                                QRect(436, 4, 127, 52));
    w_.cboChannels = new PictureComboBox(ItemLayout{17, 1, 1}, w_.GroupBox1);
    w_.cboChannels->setObjectName(QStringLiteral("cboChannels"));
    w_.cboChannels->setGeometry(8, 23, 111, 23);
    w_.cboChannels->setFont(smallWindowFont());
    const QStringList layouts = channelLayoutItems();
    for (int i = 0; i < layouts.size(); ++i)
        w_.cboChannels->addPictureItem(layouts[i], channelLayoutPicture(i));
    // The layout comes from the restored settings; until then nothing is chosen.
    w_.cboChannels->setCurrentIndex(-1);

    w_.Image1 = new QLabel(client);
    w_.Image1->setObjectName(QStringLiteral("Image1"));
    w_.Image1->setGeometry(569, 6, 48, 48);
    w_.Image1->setPixmap(programIcon(48));
    w_.Image1->setCursor(Qt::PointingHandCursor);
}

void TfrmGenerator::buildPhaseControls()
{
    QGroupBox* right = w_.right().boxAll;
    // A few pixels below the design, so that "Same as Left" above keeps clear of the label.
    w_.lblPhaseReLeft = makeLabel(right, QStringLiteral("lblPhaseReLeft"), QStringLiteral("Phase re Left"), 170, 21);
    w_.PhaseEdit = makeEdit(right, QStringLiteral("PhaseEdit"), QStringLiteral("0"), QRect(170, 36, 30, 21),
                            QStringLiteral("Signal phase relative to the left stereo channel"));
    w_.udPhase = new UpDown(right);
    w_.udPhase->setObjectName(QStringLiteral("udPhase"));
    w_.udPhase->setGeometry(200, 36, 15, 21);
    w_.udPhase->setRange(0, 359);
    w_.udPhase->setBuddy(w_.PhaseEdit, [](const QString& text) -> std::optional<double> {
        double degrees = 0;
        if (!TryIntlStrToFloat(text.toStdString(), degrees)) return std::nullopt;
        return degrees;
    });
    w_.Label7 = makeLabel(right, QStringLiteral("Label7"), QStringLiteral("\u00B0"), 218, 38);

    // Level with the box's "On", so that its ground stays off the frame line under the caption.
    w_.chkAsLeft = makeCheckBox(w_.client, QStringLiteral("chkAsLeft"), QStringLiteral("Same as Left"),
                                QRect(470, 60, 100, 17));
    w_.chkAsLeft->setAutoFillBackground(true);
    w_.chkAsLeft->raise();
}

void TfrmGenerator::buildBottomRow()
{
    QWidget* client = w_.client;

    w_.GroupBox7 = makeGroupBox(client, QStringLiteral("GroupBox7"), QStringLiteral("Memory Presets"),
                                QRect(11, 495, 368, 53));
    static const char* const kStoreNames[4] = {"Store", "Store2", "Store3", "Store4"};
    static const char* const kRenameNames[4] = {"Rename", "Rename1", "Rename2", "Rename3"};
    for (int i = 0; i < 4; ++i) {
        const int n = i + 1;
        const int x = 8 + 89 * i;
        QPushButton* button = makeButton(w_.GroupBox7, QStringLiteral("Memory%1").arg(n),
                                         QStringLiteral("Memory %1").arg(n), QRect(x, 22, 85, 25),
                                         QStringLiteral("Recall Stored Preset (Right-click to Store)"));
        w_.Memory[i] = button;

        // The rename box lies over its button's caption; it shows only while renaming.
        QLineEdit* rename = makeEdit(w_.GroupBox7, QStringLiteral("Mem%1Edit").arg(n), QString(),
                                     QRect(x + 9, 27, 53, 13));
        rename->setFrame(false);
        QPalette palette = rename->palette();
        palette.setColor(QPalette::Base, palette.color(QPalette::Button));
        rename->setPalette(palette);
        rename->setVisible(false);
        rename->setEnabled(false);
        w_.MemEdit[i] = rename;

        QMenu* popup = new QMenu(button);
        popup->setObjectName(QStringLiteral("PopupMenu%1").arg(n));
        w_.Store[i] = popup->addAction(QStringLiteral("Store"));
        w_.Store[i]->setObjectName(QLatin1String(kStoreNames[i]));
        w_.Rename[i] = popup->addAction(QStringLiteral("Rename"));
        w_.Rename[i]->setObjectName(QLatin1String(kRenameNames[i]));
        w_.PopupMenu[i] = popup;
        button->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(button, &QWidget::customContextMenuRequested, popup,
                [button, popup](const QPoint& at) { popup->popup(button->mapToGlobal(at)); });
    }
    w_.Store[0]->setToolTip(QStringLiteral("Store settings in this memory position"));

    w_.btnOFF = makeButton(client, QStringLiteral("btnOFF"), QStringLiteral("OFF"), QRect(382, 511, 75, 25),
                           QStringLiteral("Generator OFF Switch"));
    w_.btnPause = makeButton(client, QStringLiteral("btnPause"), QStringLiteral("Pause"), QRect(463, 511, 75, 25),
                             QStringLiteral("Pause Switch"));
    w_.btnON = makeButton(client, QStringLiteral("btnON"), QStringLiteral("ON"), QRect(544, 511, 75, 25),
                          QStringLiteral("Generator ON Switch"));
    w_.btnON->setDefault(true);

    w_.chkSync = makeCheckBox(client, QStringLiteral("chkSync"), QStringLiteral("Sync all Generators"),
                              QRect(16, 560, 140, 17),
                              QStringLiteral("If you have more than one ZRX window open, all generators start and "
                                             "stop at the same time."));

    w_.lblCorrectionAlert = makeLabel(client, QStringLiteral("lblCorrectionAlert"),
                                      QStringLiteral("Frequency correction applied: +0.051%"), 170, 562);
    w_.lblCorrectionAlert->setVisible(false);
    w_.lblFS = makeLabel(client, QStringLiteral("lblFS"), QString(), 520, 566);
    w_.lblFS->setFont(smallWindowFont());
    w_.lblFS->setText(QStringLiteral("fs=44.1kHz"));
    w_.lblFS->adjustSize();
    for (QLabel* label : {w_.lblFS, w_.lblCorrectionAlert})
        LabelHover::install(label);

    const QString lampHint = QStringLiteral("Generator Status  on/off");
    w_.LED = new ShapeCircle(client);
    w_.LED->setObjectName(QStringLiteral("LED"));
    w_.LED->setGeometry(588, 559, 29, 32);
    w_.LED->setBrushColour(QColor(128, 0, 0));
    w_.LED->setToolTip(lampHint);
    w_.Shape2 = new ShapeCircle(client);
    w_.Shape2->setObjectName(QStringLiteral("Shape2"));
    w_.Shape2->setGeometry(595, 567, 8, 8);
    w_.Shape2->setBrushColour(QColor(255, 255, 255));
    w_.Shape2->setPenColour(QColor(128, 128, 128));
    w_.Shape2->setToolTip(lampHint);
}

// The window as it first appears: mono layout, "Sine" at a constant frequency on both
// channels, modulation off. The right channel stays on screen, disabled and greyed.
void TfrmGenerator::applyStartupState()
{
    for (ChannelWidgets& c : w_.channel) {
        c.Tick->setEnabled(false);
        for (QWidget* off : std::initializer_list<QWidget*>{c.lblAMfunction, c.ModFunction, c.lblModDepth,
                                                             c.ModDepthEdit, c.lblModDepthUnit, c.lblAMperiod,
                                                             c.ModPeriodEdit, c.lblModPeriodUnit, c.lblModPhase,
                                                             c.lblModPhaseUnit, c.ModPhaseEdit})
            off->setEnabled(false);
        setTextColour(c.ModFunction, kGreyText);
    }

    ChannelWidgets& r = w_.right();
    for (QWidget* off : std::initializer_list<QWidget*>{
             r.boxFrequency, r.fInit, r.fFinal, r.chkConstant, r.chkSweep, r.Logarithmic, r.Bidirectional,
             r.Amplitude, r.barAmplitude, r.SemiUp, r.SemiDown, r.ModulationOn, r.WaveForm, r.fInitPlus,
             r.fInitMinus, r.grpNoise, r.cboCrestFactor, r.txtCycles, r.cboBurstWindow, r.cboBand})
        off->setEnabled(false);
    for (QWidget* grey : std::initializer_list<QWidget*>{r.WaveForm, r.boxFrequency, r.boxAmpMod})
        setTextColour(grey, kGreyText);

    w_.chkAsLeft->setEnabled(false);
    w_.lblPhaseReLeft->setEnabled(false);
    w_.PhaseEdit->setEnabled(false);
    w_.udPhase->setEnabled(false);
}

} // namespace velmora::ui
