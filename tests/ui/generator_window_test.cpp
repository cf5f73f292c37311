// The generator window as built: every control at its place with its caption and hint, the
// state the window opens in, the hover on the link labels and the pop-up menus.
#include "ui/main_window/generator_window.h"
#include "ui/widgets/label_hover.h"
#include "ui/widgets/picture_combo_box.h"
#include "ui/widgets/shape_circle.h"
#include "ui/widgets/up_down.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QCheckBox>
#include <QGroupBox>
#include <QPair>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using velmora::ui::ChannelWidgets;
using velmora::ui::TfrmGenerator;

namespace {

class GeneratorWindowTest : public ::testing::Test {
protected:
    void SetUp() override { window = std::make_unique<TfrmGenerator>(); }

    QWidget* control(const char* name) const
    {
        return window->findChild<QWidget*>(QLatin1String(name));
    }

    std::unique_ptr<TfrmGenerator> window;
};

QString captionOf(QWidget* widget)
{
    if (auto* box = qobject_cast<QGroupBox*>(widget))
        return box->title();
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        return button->text();
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->text();
    if (auto* edit = qobject_cast<QLineEdit*>(widget))
        return edit->text();
    return {};
}

QString spaces(int n) { return QString(n, QLatin1Char(' ')); }

// A control's kind, parent, place and caption. A size of -1 is not fixed; a null caption
// is not checked.
struct Placement {
    const char* name;
    const char* kind;
    const char* parent;
    int x, y, width, height;
    QString caption;
};

const Placement kPlacements[] = {
    // Top row.
    {"GroupBox8", "QGroupBox", "client", 12, 4, 247, 52, " Output Device "},
    {"WaveDevice", "QComboBox", "GroupBox8", -1, -1, -1, -1, {}},
    {"GroupBox2", "QGroupBox", "client", 265, 2, 165, 52, " Duration "},
    {"Duration", "QLineEdit", "GroupBox2", -1, -1, -1, -1, "5"},
    {"Loop", "QCheckBox", "GroupBox2", -1, -1, -1, -1, "Repeat"},
    {"GroupBox1", "QGroupBox", "client", 436, 4, 127, 52, " Channels "},
    {"cboChannels", "velmora::ui::PictureComboBox", "GroupBox1", -1, -1, -1, -1, {}},
    {"Image1", "QLabel", "client", -1, -1, 48, 48, {}},
    {"chkAsLeft", "QCheckBox", "client", 470, -1, -1, -1, "Same as Left"},
    // Channel boxes.
    {"boxLeftAll", "QGroupBox", "client", 11, 60, 300, 429, "Left Channel" + spaces(13)},
    {"boxRightAll", "QGroupBox", "client", 317, 60, 300, 429, "Right Channel" + spaces(44)},
    {"Lefttick", "QCheckBox", "boxLeftAll", 104, -1, -1, -1, "On"},
    {"RightTick", "QCheckBox", "boxRightAll", 104, -1, -1, -1, "On"},
    {"Label16", "QLabel", "boxLeftAll", -1, -1, -1, -1, " Wave Function "},
    {"Label18", "QLabel", "boxRightAll", -1, -1, -1, -1, " Wave Function "},
    {"WaveFormLeft", "velmora::ui::PictureComboBox", "boxLeftAll", -1, -1, 152, -1, {}},
    {"WaveFormRight", "velmora::ui::PictureComboBox", "boxRightAll", -1, -1, 152, -1, {}},
    {"lblPhaseReLeft", "QLabel", "boxRightAll", -1, -1, -1, -1, "Phase re Left"},
    {"PhaseEdit", "QLineEdit", "boxRightAll", -1, -1, 30, -1, "0"},
    {"udPhase", "velmora::ui::UpDown", "boxRightAll", -1, -1, -1, -1, {}},
    {"Label7", "QLabel", "boxRightAll", -1, -1, -1, -1, "\u00B0"},
    // Frequency panels.
    {"boxLeftFrequency", "QGroupBox", "boxLeftAll", 8, 60, 278, 137, " Frequency "},
    {"boxFrequencyRight", "QGroupBox", "boxRightAll", 8, 60, 278, 137, " Frequency "},
    {"chkConstantLeft", "QRadioButton", "boxLeftFrequency", -1, -1, -1, -1, "Constant"},
    {"chkSweepRight", "QRadioButton", "boxFrequencyRight", -1, -1, -1, -1, "Sweep"},
    {"lblFreqFromLeft", "QLabel", "boxLeftFrequency", -1, -1, -1, -1, "From"},
    {"fInitLeft", "QLineEdit", "boxLeftFrequency", -1, -1, 80, -1, "100"},
    {"fInitRight", "QLineEdit", "boxFrequencyRight", -1, -1, 80, -1, "100"},
    {"lblFromFreqRight", "QLabel", "boxFrequencyRight", -1, -1, -1, -1, "Hz"},
    {"lblFreqToLeft", "QLabel", "boxLeftFrequency", -1, -1, -1, -1, "to"},
    {"fFinalLeft", "QLineEdit", "boxLeftFrequency", -1, -1, 80, -1, "1000"},
    {"fFinalRight", "QLineEdit", "boxFrequencyRight", -1, -1, 80, -1, "1000"},
    {"lblHzToRight", "QLabel", "boxFrequencyRight", -1, -1, -1, -1, "Hz"},
    {"LogarithmicLeft", "QCheckBox", "boxLeftFrequency", -1, -1, -1, -1, "Logarithmic"},
    {"BidirectionalRight", "QCheckBox", "boxFrequencyRight", -1, -1, -1, -1, "Bi-directional"},
    {"fInitLeftPlus", "QPushButton", "boxLeftFrequency", -1, -1, 35, 18, "+"},
    {"fInitRightMinus", "QPushButton", "boxFrequencyRight", -1, -1, 35, 18, "-"},
    {"SemiUpLeft", "QPushButton", "boxLeftFrequency", -1, -1, 35, 18, "#"},
    {"SemiDownRight", "QPushButton", "boxFrequencyRight", -1, -1, 35, 18, "b"},
    // Noise and sequence panels.
    {"grpNoiseL", "QGroupBox", "boxLeftAll", 8, 60, 205, 105, " Parameters "},
    {"grpNoiseR", "QGroupBox", "boxRightAll", 8, 60, 205, 105, " Parameters "},
    {"lblPeakRMSratioL", "QLabel", "grpNoiseL", -1, -1, -1, -1, "Crest Factor"},
    {"cboCrestFactorR", "QComboBox", "grpNoiseR", -1, -1, -1, -1, {}},
    {"grpMLSLeft", "QGroupBox", "boxLeftAll", 8, 60, 157, 90, " MLS Parameters "},
    {"grpMLSRight", "QGroupBox", "boxRightAll", 8, 60, 141, 71, " MLS Parameters "},
    {"txtMLSLengthLeft", "QLineEdit", "grpMLSLeft", -1, -1, -1, -1, "16"},
    {"txtMLSSeedLeft", "QLineEdit", "grpMLSLeft", -1, -1, -1, -1, "1"},
    {"txtMLSSeedRight", "QLineEdit", "grpMLSRight", -1, -1, -1, -1, "34757"},
    // Level and modulation.
    {"boxAmplitudeleft", "QGroupBox", "boxLeftAll", 8, 203, 98, 218, " Amplitude "},
    {"boxAmplituderight", "QGroupBox", "boxRightAll", 8, 203, 98, 218, " Amplitude "},
    {"barAmplitudeLeft", "QSlider", "boxAmplitudeleft", -1, -1, 20, 156, {}},
    {"barAmplitudeRight", "QSlider", "boxAmplituderight", -1, -1, 20, 156, {}},
    {"AmplitudeLeft", "QLineEdit", "boxAmplitudeleft", -1, -1, 48, -1, "0"},
    {"lbldBFSright", "QLabel", "boxAmplituderight", -1, -1, -1, -1, "dBFS"},
    {"boxAmpModLeft", "QGroupBox", "boxLeftAll", 112, 203, 174, 218, " Amplitude Modulation"},
    {"boxAmpModRight", "QGroupBox", "boxRightAll", 112, 203, 174, 218, " Amplitude Modulation"},
    {"ModulationOnLeft", "QCheckBox", "boxAmpModLeft", -1, -1, 14, 14, ""},
    {"ModulationOnRight", "QCheckBox", "boxAmpModRight", -1, -1, 14, 14, ""},
    {"ModFunctionLeft", "velmora::ui::PictureComboBox", "boxAmpModLeft", -1, -1, 132, -1, {}},
    {"lblAMfunctionRight", "QLabel", "boxAmpModRight", -1, -1, -1, -1, "Function"},
    {"Label13", "QLabel", "boxAmpModLeft", -1, -1, -1, -1, "Depth"},
    {"ModDepthLeftEdit", "QLineEdit", "boxAmpModLeft", -1, -1, -1, -1, "100"},
    {"Label9", "QLabel", "boxAmpModLeft", -1, -1, -1, -1, "%"},
    {"lblAMperiodLeft", "QLabel", "boxAmpModLeft", -1, -1, -1, -1, "Period"},
    {"ModPeriodLeftEdit", "QLineEdit", "boxAmpModLeft", -1, -1, -1, -1, "1"},
    {"Label2", "QLabel", "boxAmpModLeft", -1, -1, -1, -1, "s"},
    {"Label14", "QLabel", "boxAmpModLeft", -1, -1, -1, -1, "Phase"},
    {"ModPhaseLeftEdit", "QLineEdit", "boxAmpModLeft", -1, -1, -1, -1, "0"},
    {"Label11", "QLabel", "boxAmpModLeft", -1, -1, -1, -1, "\u00B0"},
    {"Label27", "QLabel", "boxAmpModRight", -1, -1, -1, -1, "Depth"},
    {"Label3", "QLabel", "boxAmpModRight", -1, -1, -1, -1, "%"},
    {"lblAMperiodRight", "QLabel", "boxAmpModRight", -1, -1, -1, -1, "Period"},
    {"Label15", "QLabel", "boxAmpModRight", -1, -1, -1, -1, "s"},
    {"Label29", "QLabel", "boxAmpModRight", -1, -1, -1, -1, "Phase"},
    {"Label20", "QLabel", "boxAmpModRight", -1, -1, -1, -1, "\u00B0"},
    // Bottom row.
    {"GroupBox7", "QGroupBox", "client", 11, 495, 368, 53, "Memory Presets"},
    {"Memory1", "QPushButton", "GroupBox7", 8, 22, 85, 25, "Memory 1"},
    {"Memory2", "QPushButton", "GroupBox7", -1, 22, 85, 25, "Memory 2"},
    {"Memory3", "QPushButton", "GroupBox7", -1, 22, 85, 25, "Memory 3"},
    {"Memory4", "QPushButton", "GroupBox7", -1, 22, 85, 25, "Memory 4"},
    {"Mem1Edit", "QLineEdit", "GroupBox7", 17, 27, 53, 13, ""},
    {"Mem4Edit", "QLineEdit", "GroupBox7", -1, 27, 53, 13, ""},
    {"btnOFF", "QPushButton", "client", 382, -1, 75, 25, "OFF"},
    {"btnPause", "QPushButton", "client", 463, -1, 75, 25, "Pause"},
    {"btnON", "QPushButton", "client", 544, -1, 75, 25, "ON"},
    {"chkSync", "QCheckBox", "client", -1, -1, -1, -1, "Sync all Generators"},
    {"LED", "velmora::ui::ShapeCircle", "client", 588, 559, 29, 32, {}},
    {"Shape2", "velmora::ui::ShapeCircle", "client", -1, -1, -1, -1, {}},
    {"lblFS", "QLabel", "client", -1, -1, -1, -1, "fs=44.1kHz"},
    {"lblCorrectionAlert", "QLabel", "client", -1, -1, -1, -1, "Frequency correction applied: +0.051%"},
};

TEST_F(GeneratorWindowTest, EveryControlHasItsKindParentPlaceAndCaption)
{
    for (const Placement& p : kPlacements) {
        SCOPED_TRACE(p.name);
        QWidget* widget = control(p.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_TRUE(widget->inherits(p.kind)) << widget->metaObject()->className();
        ASSERT_NE(widget->parentWidget(), nullptr);
        EXPECT_EQ(widget->parentWidget()->objectName(), QLatin1String(p.parent));
        const QRect place = widget->geometry();
        if (p.x >= 0) {
            EXPECT_EQ(place.x(), p.x);
        }
        if (p.y >= 0) {
            EXPECT_EQ(place.y(), p.y);
        }
        if (p.width >= 0) {
            EXPECT_EQ(place.width(), p.width);
        }
        if (p.height >= 0) {
            EXPECT_EQ(place.height(), p.height);
        }
        if (!p.caption.isNull()) {
            EXPECT_EQ(captionOf(widget), p.caption);
        }
    }
}

TEST_F(GeneratorWindowTest, ControlsOfOnePanelDoNotOverlapAndStayInsideIt)
{
    // Rows of alternatives (the step buttons and the final field) share a place on purpose.
    const QStringList sharePlace = {"fFinalLeft",     "lblFreqToLeft",  "lblHzToLeft",   "fFinalRight",
                                    "lblFreqToRight", "lblHzToRight",   "fInitLeftPlus", "fInitLeftMinus",
                                    "SemiUpLeft",     "SemiDownLeft",   "fInitRightPlus", "fInitRightMinus",
                                    "SemiUpRight",    "SemiDownRight"};
    // Rows for other waveforms lie over panels that those waveforms hide: the burst's rows
    // over the sweep's, the periodic noise's band over the frequency and noise panels.
    const QList<QPair<QStringList, QStringList>> otherWaves = {
        {{"lblCyclesLeft", "txtCyclesLeft", "lblBurstWindowL", "cboBurstWindowL", "lblCyclesRight", "txtCyclesRight",
          "lblBurstWindowR", "cboBurstWindowR"},
         {"LogarithmicLeft", "BidirectionalLeft", "LogarithmicRight", "BidirectionalRight"}},
        {{"lblBandL", "cboBandL", "lblBandR", "cboBandR"},
         {"boxLeftFrequency", "boxFrequencyRight", "grpNoiseL", "grpNoiseR"}}};
    const auto otherWave = [&](const QString& a, const QString& b) {
        for (const auto& [rows, panels] : otherWaves)
            if ((rows.contains(a) && panels.contains(b)) || (rows.contains(b) && panels.contains(a))) return true;
        return false;
    };
    for (QWidget* container : window->findChildren<QWidget*>()) {
        if (!qobject_cast<QGroupBox*>(container) && container != window->centralWidget())
            continue;
        const QList<QWidget*> children = container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        for (QWidget* child : children) {
            if (child->isWindow() || child->objectName().isEmpty())
                continue;
            SCOPED_TRACE(child->objectName().toStdString());
            EXPECT_TRUE(container->rect().contains(child->geometry()))
                << "outside " << container->objectName().toStdString();
        }
        for (int i = 0; i < children.size(); ++i) {
            for (int j = i + 1; j < children.size(); ++j) {
                QWidget* a = children[i];
                QWidget* b = children[j];
                if (a->objectName().isEmpty() || b->objectName().isEmpty() || a->isWindow() || b->isWindow())
                    continue;
                if (sharePlace.contains(a->objectName()) && sharePlace.contains(b->objectName()))
                    continue;
                if (otherWave(a->objectName(), b->objectName())) continue;
                // The alternative panels and the rename boxes lie over one another by design.
                const bool alternatives = qobject_cast<QGroupBox*>(a) && qobject_cast<QGroupBox*>(b) &&
                                          a->geometry().topLeft() == b->geometry().topLeft();
                const bool renameBox = a->objectName().startsWith("Mem") && b->objectName().startsWith("Mem");
                const bool lampHighlight = a->objectName() == "LED" || b->objectName() == "LED";
                // "Same as Left" sits on the right box's caption line.
                const bool captionLine = a->objectName() == "chkAsLeft" || b->objectName() == "chkAsLeft";
                if (alternatives || renameBox || lampHighlight || captionLine)
                    continue;
                EXPECT_FALSE(a->geometry().intersects(b->geometry()))
                    << a->objectName().toStdString() << " overlaps " << b->objectName().toStdString();
            }
        }
    }
}

TEST_F(GeneratorWindowTest, ClientAreaEndsJustPastTheStatusLamp)
{
    window->show();
    EXPECT_EQ(window->centralWidget()->size(), QSize(623, 601));
    EXPECT_EQ(window->windowTitle(), "Velmora");
    EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "the window is not resizable";
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);

    struct Case {
        QRect lamp;
        QSize client;
    };
    // Rounding is to nearest with ties to even: 1.3 x 5 = 6.5 gives 6, 1.3 x 15 = 19.5 gives 20.
    const Case cases[] = {
        {QRect(588, 559, 29, 32), QSize(623, 601)},
        {QRect(0, 0, 10, 5), QSize(12, 6)},
        {QRect(0, 0, 10, 15), QSize(12, 20)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TfrmGenerator::clientSizeForLamp(c.lamp), c.client);
}

TEST_F(GeneratorWindowTest, HintsAreTheControlsTooltips)
{
    struct Case {
        const char* name;
        const char* hint;
    };
    const Case cases[] = {
        {"WaveDevice", "Output Device (Sound Card)  Selector"},
        {"Duration", "Tone Duration in Seconds"},
        {"Loop", "Infinite Signal Loop On or Off"},
        {"WaveFormLeft", "Waveform of the Left Channel/mono Signal"},
        {"WaveFormRight", "Waveform of the right channel Signal"},
        {"PhaseEdit", "Signal phase relative to the left stereo channel"},
        {"chkConstantLeft", "Signal with constant frequency"},
        {"chkConstantRight", "Signal with constant frequency"},
        {"chkSweepLeft", "Signal frequency sweeps from Initial to Final during play"},
        {"chkSweepRight", ""},
        {"LogarithmicRight", "Logarithmic change in frequency"},
        {"BidirectionalLeft", "Sweep is in both directions, up and down"},
        {"fInitLeftPlus", "+ 1 Hz"},
        {"fInitRightMinus", "- 1 Hz"},
        {"SemiUpRight", "Increase the Frequency by 1 musical semi tone"},
        {"SemiDownLeft", "Decrease the Frequency by 1 musical semi tone"},
        {"barAmplitudeLeft", "Signal Amplitude of the left/mono Channel"},
        {"AmplitudeLeft", "Signal Amplitude of the left/mono Channel"},
        {"barAmplitudeRight", "Signal Amplitude of the right stereo Channel"},
        {"AmplitudeRight", "Signal Amplitude of the right stereo Channel"},
        {"ModFunctionRight", "Waveform of the Signal Modulation "},
        {"ModDepthLeftEdit", "Depth of the Modulation in %"},
        {"ModPeriodRightEdit", "Modulation period"},
        {"ModPhaseLeftEdit", "Phase of the modulation relative to the signal start"},
        {"Memory3", "Recall Stored Preset (Right-click to Store)"},
        {"btnOFF", "Generator OFF Switch"},
        {"btnPause", "Pause Switch"},
        {"btnON", "Generator ON Switch"},
        {"chkSync",
         "If you have more than one ZRX window open, all generators start and stop at the same time."},
        {"LED", "Generator Status  on/off"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QWidget* widget = control(c.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->toolTip(), QString::fromUtf8(c.hint));
    }
}

TEST_F(GeneratorWindowTest, InitialValuesAndRanges)
{
    auto& w = window->widgets();
    for (ChannelWidgets* c : {&w.left(), &w.right()}) {
        SCOPED_TRACE(c->boxAll->objectName().toStdString());
        EXPECT_EQ(c->WaveForm->currentIndex(), 0);
        EXPECT_EQ(c->ModFunction->currentIndex(), 1);
        EXPECT_EQ(c->cboCrestFactor->currentIndex(), 0);
        EXPECT_TRUE(c->Tick->isChecked());
        EXPECT_TRUE(c->chkConstant->isChecked());
        EXPECT_FALSE(c->chkSweep->isChecked());
        EXPECT_FALSE(c->Logarithmic->isChecked());
        EXPECT_FALSE(c->Bidirectional->isChecked());
        EXPECT_FALSE(c->ModulationOn->isChecked());
        EXPECT_EQ(c->barAmplitude->orientation(), Qt::Vertical);
        EXPECT_EQ(c->barAmplitude->minimum(), 0);
        EXPECT_EQ(c->barAmplitude->maximum(), 10000);
        EXPECT_EQ(c->barAmplitude->tickInterval(), 10);
        EXPECT_EQ(c->barAmplitude->value(), 0);
        EXPECT_TRUE(c->SemiUp->font().italic());
        EXPECT_TRUE(c->SemiDown->font().italic());
        EXPECT_FALSE(c->fInitPlus->font().italic());
        EXPECT_EQ(c->lblPeakRMSratio->cursor().shape(), Qt::WhatsThisCursor);
    }
    EXPECT_EQ(w.cboChannels->currentIndex(), -1) << "the layout is chosen when the settings are restored";
    EXPECT_FALSE(w.Loop->isChecked());
    EXPECT_FALSE(w.chkAsLeft->isChecked());
    EXPECT_FALSE(w.chkSync->isChecked());
    EXPECT_EQ(w.udPhase->minimum(), 0);
    EXPECT_EQ(w.udPhase->maximum(), 359);
    EXPECT_EQ(w.udPhase->value(), 0);
    EXPECT_TRUE(w.btnON->isDefault());
    EXPECT_EQ(w.LED->brushColour(), QColor(128, 0, 0));
    EXPECT_EQ(w.Image1->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(w.WaveDevice->itemText(0), "System Default");

    // 8 points for the window, 7 for the channel-layout list and the sampling-rate label.
    EXPECT_EQ(window->font().pointSize(), 8);
    EXPECT_EQ(w.cboChannels->font().pointSize(), 7);
    EXPECT_EQ(w.lblFS->font().pointSize(), 7);
}

TEST_F(GeneratorWindowTest, UpDownStepsWithinItsRangeWithoutWrapping)
{
    auto* up = window->widgets().udPhase;
    int emitted = 0;
    QObject::connect(up, &velmora::ui::UpDown::valueChanged, [&emitted](int) { ++emitted; });
    up->setValue(358);
    up->setValue(up->value() + 1);
    up->setValue(up->value() + 1);
    EXPECT_EQ(up->value(), 359);
    up->setValue(-5);
    EXPECT_EQ(up->value(), 0);
    EXPECT_EQ(emitted, 3) << "no signal when the position stays";
}

// The window opens in mono with "Sine" at a constant frequency on both channels and no
// modulation: the right channel stays on screen, disabled and greyed.
TEST_F(GeneratorWindowTest, OpensInMonoSineConstantState)
{
    struct Case {
        const char* name;
        bool visible;
        bool enabled;
    };
    const Case cases[] = {
        // Left channel: frequency panel in Constant mode.
        {"boxLeftFrequency", true, true},
        {"grpNoiseL", false, true},
        {"grpMLSLeft", false, true},
        {"chkConstantLeft", true, true},
        {"chkSweepLeft", true, true},
        {"fInitLeft", true, true},
        {"lblFromFreqLeft", true, true},
        {"fInitLeftPlus", true, true},
        {"fInitLeftMinus", true, true},
        {"SemiUpLeft", true, true},
        {"SemiDownLeft", true, true},
        {"lblFreqFromLeft", false, true},
        {"lblFreqToLeft", false, true},
        {"fFinalLeft", false, true},
        {"lblHzToLeft", false, true},
        {"LogarithmicLeft", false, true},
        {"BidirectionalLeft", false, true},
        {"Lefttick", true, false},
        {"WaveFormLeft", true, true},
        {"AmplitudeLeft", true, true},
        {"barAmplitudeLeft", true, true},
        // Modulation off: its fields wait for the check box.
        {"ModulationOnLeft", true, true},
        {"ModFunctionLeft", true, false},
        {"ModDepthLeftEdit", true, false},
        {"ModPeriodLeftEdit", true, false},
        {"ModPhaseLeftEdit", true, false},
        {"lblAMfunctionLeft", true, false},
        {"lblAMperiodLeft", true, false},
        // Right channel: the same panels, disabled for mono.
        {"boxRightAll", true, true},
        {"boxFrequencyRight", true, false},
        {"grpNoiseR", false, false},
        {"grpMLSRight", false, true},
        {"fInitRightPlus", true, false},
        {"fFinalRight", false, false},
        {"RightTick", true, false},
        {"WaveFormRight", true, false},
        {"AmplitudeRight", true, false},
        {"barAmplitudeRight", true, false},
        {"ModulationOnRight", true, false},
        {"ModDepthRightEdit", true, false},
        // The phase trio and "Same as Left" belong to stereo.
        {"chkAsLeft", true, false},
        {"lblPhaseReLeft", true, false},
        {"PhaseEdit", true, false},
        {"udPhase", true, false},
        // Bottom row.
        {"btnON", true, true},
        {"lblFS", true, true},
        {"lblCorrectionAlert", false, true},
        {"Mem1Edit", false, false},
        {"Mem2Edit", false, false},
        {"Mem3Edit", false, false},
        {"Mem4Edit", false, false},
    };
    QWidget* client = window->centralWidget();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QWidget* widget = control(c.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->isVisibleTo(client), c.visible);
        EXPECT_EQ(widget->isEnabled(), c.enabled);
    }

    const QColor grey(128, 128, 128);
    auto& w = window->widgets();
    EXPECT_EQ(w.right().WaveForm->palette().color(QPalette::Active, QPalette::Text), grey);
    EXPECT_EQ(w.right().boxFrequency->palette().color(QPalette::Active, QPalette::WindowText), grey);
    EXPECT_EQ(w.right().boxAmpMod->palette().color(QPalette::Active, QPalette::WindowText), grey);
    EXPECT_EQ(w.left().ModFunction->palette().color(QPalette::Active, QPalette::Text), grey);
    EXPECT_NE(w.left().WaveForm->palette().color(QPalette::Active, QPalette::Text), grey);
}

TEST_F(GeneratorWindowTest, LinkLabelsTurnBlueAndUnderlinedWhileHovered)
{
    for (const char* name : {"lblFS", "lblCorrectionAlert", "lblPeakRMSratioL", "lblPeakRMSratioR"}) {
        SCOPED_TRACE(name);
        auto* label = qobject_cast<QLabel*>(control(name));
        ASSERT_NE(label, nullptr);
        QEvent enter(QEvent::Enter);
        QCoreApplication::sendEvent(label, &enter);
        EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        EXPECT_TRUE(label->font().underline());
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(label, &leave);
        EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(0, 0, 0));
        EXPECT_FALSE(label->font().underline());
    }
    // Other labels have no hover.
    auto* plain = qobject_cast<QLabel*>(control("lblPhaseReLeft"));
    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(plain, &enter);
    EXPECT_FALSE(plain->font().underline());
}

TEST_F(GeneratorWindowTest, PopupMenusOfChannelBoxesAndPresetButtons)
{
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    auto& w = window->widgets();

    struct Box {
        ChannelWidgets* channel;
        const char* menu;
        const char* item;
        const char* caption;
    };
    const Box boxes[] = {
        {&w.left(), "mnuCopyRtoL", "CopySettingsfromrightChannel1", "&Use Settings from Right Channel"},
        {&w.right(), "mnuCopyLtoR", "CopySettingsfromleftChannel1", "&Use Settings from Left Channel"},
    };
    for (const Box& b : boxes) {
        SCOPED_TRACE(b.menu);
        ASSERT_EQ(b.channel->copyMenu->objectName(), b.menu);
        ASSERT_EQ(b.channel->copyMenu->actions().size(), 1);
        EXPECT_EQ(b.channel->copySettings->objectName(), b.item);
        EXPECT_EQ(b.channel->copySettings->text(), b.caption);
        emit b.channel->boxAll->customContextMenuRequested(QPoint(20, 20));
        EXPECT_TRUE(b.channel->copyMenu->isVisible());
        b.channel->copyMenu->hide();
    }

    const char* const stores[] = {"Store", "Store2", "Store3", "Store4"};
    const char* const renames[] = {"Rename", "Rename1", "Rename2", "Rename3"};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i + 1);
        QMenu* popup = w.PopupMenu[i];
        EXPECT_EQ(popup->objectName(), QStringLiteral("PopupMenu%1").arg(i + 1));
        ASSERT_EQ(popup->actions().size(), 2);
        EXPECT_EQ(popup->actions()[0], w.Store[i]);
        EXPECT_EQ(popup->actions()[1], w.Rename[i]);
        EXPECT_EQ(w.Store[i]->objectName(), stores[i]);
        EXPECT_EQ(w.Store[i]->text(), "Store");
        EXPECT_EQ(w.Rename[i]->objectName(), renames[i]);
        EXPECT_EQ(w.Rename[i]->text(), "Rename");
        emit w.Memory[i]->customContextMenuRequested(QPoint(5, 5));
        EXPECT_TRUE(popup->isVisible());
        popup->hide();
    }
    EXPECT_EQ(w.Store[0]->toolTip(), "Store settings in this memory position");
}

TEST_F(GeneratorWindowTest, WaveformDropDownKeepsTheListWidthSoPaddedEndingsStayHidden)
{
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    for (velmora::ui::PictureComboBox* list : {window->widgets().left().WaveForm, window->widgets().right().WaveForm}) {
        list->setEnabled(true);
        list->showPopup();
        QWidget* popup = list->view()->window();
        EXPECT_TRUE(popup->isVisible());
        EXPECT_LE(popup->width(), list->width());
        list->hidePopup();
    }
}

} // namespace
