// The output settings dialog wired to the window: loading and saving through the settings
// store, the correction factor's rules, and what a rate change does to a playing generator
// and to the frequency fields.
#include "window_harness.h"
#include "user_input.h"

#include "settings/settings_store.h"
#include "ui/dialogs/output_settings_dialog.h"
#include "ui/widgets/picture_combo_box.h"

#include <QAction>
#include <QCheckBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include <algorithm>
#include <cmath>
#include <vector>

#include <QApplication>
#include <QtTest/QTest>

namespace velmora::ui::test {
namespace {

using OutputSettingsTest = WindowHarness;

TEST_F(OutputSettingsTest, AFirstStartUsesTheDefaults)
{
    const OutputSettings& o = generator().settings.output;
    EXPECT_EQ(o.SamplingRate, 11025);
    EXPECT_EQ(o.Buffers, 4);
    EXPECT_EQ(o.BufferSize, 8192);
    EXPECT_EQ(o.Quantisation, 16);
    EXPECT_EQ(o.FrequencyCorrection, 1.0);
    EXPECT_EQ(w().lblFS->text(), QStringLiteral("fs=11.025kHz"));
    EXPECT_FALSE(w().lblCorrectionAlert->isVisibleTo(window.get()));
}

// Beside the buffer size in bytes, the time one buffer plays at the rate, sample size and
// channels in force, following each of them.
TEST_F(OutputSettingsTest, TheBufferSizeShowsItsLengthInMilliseconds)
{
    TfrmSettings& d = controller->settingsDialog();
    struct Case {
        int rate, quant, size; // list positions
        bool stereo;
        const char* shown;
    };
    // 8192 bytes: 4096 mono 16-bit frames at 11025 Hz; 1365 stereo 24-bit frames at 192 kHz.
    for (const Case& c : {Case{1, 0, 2, false, "372 ms"}, Case{3, 0, 2, true, "46 ms"},
                          Case{8, 1, 2, true, "7.1 ms"}, Case{9, 2, 0, true, "0.7 ms"},
                          Case{0, 0, 5, false, "4096 ms"}}) {
        SCOPED_TRACE(c.shown);
        choose(w().cboChannels, c.stereo ? 1 : 0);
        d.open();
        choose(d.cboFsList, c.rate);
        choose(d.cboQuant, c.quant);
        choose(d.cboBufferSize, c.size);
        EXPECT_EQ(d.lblBufferMs->text(), QString::fromLatin1(c.shown));
        d.close();
    }
}

TEST_F(OutputSettingsTest, ClosingSavesAndTheNextStartRestores)
{
    TfrmSettings& d = controller->settingsDialog();
    d.open();
    choose(d.cboFsList, 3);
    choose(d.cboQuant, 1);
    choose(d.cboBuffers, 0);
    choose(d.cboBufferSize, 5);
    type(d.txtCorrectionFactor, QStringLiteral("5"));
    choose(d.cboCorrectionUnits, 1);
    d.close();

    make();
    const OutputSettings& o = generator().settings.output;
    EXPECT_EQ(o.SamplingRate, 44100);
    EXPECT_EQ(o.Quantisation, 24);
    EXPECT_EQ(o.Buffers, 2);
    EXPECT_EQ(o.BufferSize, 65536);
    // The unit is read after the text; the factor is the cent's, not 1 + 5 %.
    EXPECT_DOUBLE_EQ(o.FrequencyCorrection, std::pow(2.0, 5.0 / 1200));
    EXPECT_EQ(w().lblFS->text(), QStringLiteral("fs=44.1kHz"));
    EXPECT_EQ(w().lblCorrectionAlert->text(), QStringLiteral("Frequency correction applied: 5 cent"));

    const SettingsStore store = SettingsStore::openForReading();
    EXPECT_EQ(store.readInteger("Fs"), 3);
    EXPECT_EQ(store.readText("txtPort"), "1193");
    EXPECT_TRUE(store.readBoolean("DisableSS"));
}

// Tab goes round the controls the user can see, and nothing else: the hidden screensaver
// option (there, with no height) is no stop, so Space cannot toggle it behind the user's
// back. Escape closes the dialog as Close does, which saves.
TEST_F(OutputSettingsTest, TabStopsAreWhatCanBeSeenAndEscapeCloses)
{
    TfrmSettings& d = controller->settingsDialog();
    d.open();
    QApplication::setActiveWindow(&d);
    d.cboFsList->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(d.cboFsList->hasFocus());
    std::vector<QWidget*> stops;
    for (int i = 0; i < 20; ++i) {
        QWidget* now = QApplication::focusWidget();
        ASSERT_NE(now, nullptr);
        stops.push_back(now);
        EXPECT_TRUE(now->isVisible() && now->width() > 0 && now->height() > 0) << now->objectName().toStdString();
        EXPECT_NE(now, d.chkDisableSS);
        QTest::keyClick(now, Qt::Key_Tab);
    }
    EXPECT_TRUE(std::find(stops.begin(), stops.end(), d.Button1) != stops.end()) << "the round reaches Close";

    choose(d.cboFsList, 4);
    QTest::keyClick(d.txtCorrectionFactor, Qt::Key_Escape);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(SettingsStore::openForReading().readInteger("Fs"), 4);
}

TEST_F(OutputSettingsTest, StoredIndexOutsideItsListFallsBackToTheDefaults)
{
    {
        SettingsStore store = SettingsStore::openForWriting();
        store.writeInteger("Fs", 42);
        store.close();
    }
    make();
    EXPECT_EQ(generator().settings.output.SamplingRate, 11025);
    EXPECT_EQ(generator().settings.output.BufferSize, 8192);
}

TEST_F(OutputSettingsTest, FloatSamplesAndDitherAreKeptAndPlayed)
{
    TfrmSettings& d = controller->settingsDialog();
    d.open();
    choose(d.cboQuant, 2);
    choose(d.cboDither, 1);
    EXPECT_EQ(generator().settings.output.Quantisation, kFloatQuantisation);
    EXPECT_EQ(generator().settings.output.Dither, kDitherTpdf);
    d.close();
    {
        const SettingsStore store = SettingsStore::openForReading();
        EXPECT_EQ(store.readInteger("Quant"), 2);
        EXPECT_EQ(store.readInteger("Dither"), 1);
    }

    make();
    EXPECT_EQ(generator().settings.output.Quantisation, kFloatQuantisation);
    EXPECT_EQ(generator().settings.output.Dither, kDitherTpdf);
    click(w().btnON);
    pump();
    EXPECT_EQ(device->openedFormat().formatTag, kPcmFormatFloat);
    EXPECT_EQ(device->openedFormat().bitsPerSample, 32);
    EXPECT_EQ(device->openedFormat().blockAlign, 4);
}

TEST_F(OutputSettingsTest, AStoreWithoutDitherKeepsItsOtherValues)
{
    // A store written before dither existed, and one with a dither outside its list.
    for (int dither : {-1, 7}) {
        {
            SettingsStore store = SettingsStore::openForWriting();
            store.writeInteger("Fs", 4);
            store.writeInteger("Buffers", 0);
            store.writeInteger("Quant", 1);
            store.writeInteger("BufferSize", 1);
            store.writeBoolean("DisableSS", true);
            store.writeText("txtCorrectionFactor", "0");
            store.writeInteger("cboCorrectionUnits", 0);
            store.writeText("txtPort", "1193");
            if (dither >= 0) store.writeInteger("Dither", dither);
            store.close();
        }
        make();
        EXPECT_EQ(generator().settings.output.SamplingRate, 48000);
        EXPECT_EQ(generator().settings.output.Quantisation, 24);
        EXPECT_EQ(generator().settings.output.Dither, kDitherNone);
    }
}

// "Alias-free waveforms" is off at first and with a store from before it existed; set, it is
// kept, and it changes what a square plays.
TEST_F(OutputSettingsTest, AliasFreeIsOffUntilSetAndThenKept)
{
    EXPECT_FALSE(controller->settingsDialog().chkAliasFree->isChecked());
    EXPECT_FALSE(generator().settings.output.AliasFree);
    {
        // A store written before the option existed.
        SettingsStore store = SettingsStore::openForWriting();
        store.writeInteger("Fs", 4);
        store.writeInteger("Buffers", 0);
        store.writeInteger("Quant", 1);
        store.writeInteger("BufferSize", 1);
        store.writeBoolean("DisableSS", true);
        store.writeText("txtCorrectionFactor", "0");
        store.writeInteger("cboCorrectionUnits", 0);
        store.writeText("txtPort", "1193");
        store.close();
    }
    make();
    EXPECT_FALSE(generator().settings.output.AliasFree);
    EXPECT_EQ(generator().settings.output.SamplingRate, 48000);

    TfrmSettings& d = controller->settingsDialog();
    d.open();
    d.chkAliasFree->click();
    EXPECT_TRUE(generator().settings.output.AliasFree);
    d.close();
    EXPECT_TRUE(SettingsStore::openForReading().readBoolean("AliasFree"));
    make();
    EXPECT_TRUE(generator().settings.output.AliasFree);
    EXPECT_TRUE(controller->settingsDialog().chkAliasFree->isChecked());
}

// "Fade in and out" is off at first and with a store from before it existed, 10 ms; a time
// outside 1..10000 ms is refused with a message and the time in force stays; set, both are
// kept. A change of the output format stops at once even with the fade set.
TEST_F(OutputSettingsTest, FadeIsOffUntilSetAndThenKept)
{
    TfrmSettings& d = controller->settingsDialog();
    EXPECT_FALSE(d.chkFade->isChecked());
    EXPECT_FALSE(generator().settings.output.FadeOn);
    EXPECT_EQ(d.txtFadeMs->text(), QStringLiteral("10"));
    EXPECT_EQ(generator().settings.output.FadeMs, 10);

    d.open();
    d.chkFade->click();
    EXPECT_TRUE(generator().settings.output.FadeOn);
    for (const char* bad : {"0", "10001", "2.5", "abc", ""}) {
        SCOPED_TRACE(bad);
        const size_t errors = notices.errors.size();
        d.txtFadeMs->setText(QString::fromLatin1(bad));
        EXPECT_FALSE(d.txtFadeMsExit());
        ASSERT_EQ(notices.errors.size(), errors + 1);
        EXPECT_TRUE(notices.errors.back().startsWith(QStringLiteral("Fade time: '"))) << notices.errors.back().toStdString();
        EXPECT_EQ(d.txtFadeMs->text(), QStringLiteral("10"));
        EXPECT_EQ(generator().settings.output.FadeMs, 10);
    }
    d.txtFadeMs->setText(QStringLiteral(" 250 "));
    EXPECT_TRUE(d.txtFadeMsExit());
    EXPECT_EQ(generator().settings.output.FadeMs, 250);

    // The rate changes with the generator playing: it stops at once, no fade-out waits.
    click(w().Loop);
    click(w().btnON);
    pump();
    ASSERT_TRUE(controller->AudioOut1().Active());
    choose(d.cboFsList, 4);
    EXPECT_FALSE(controller->AudioOut1().Active());
    d.close();

    const SettingsStore stored = SettingsStore::openForReading();
    EXPECT_TRUE(stored.readBoolean("FadeOn"));
    EXPECT_EQ(stored.readInteger("FadeMs"), 250);
    make();
    EXPECT_TRUE(controller->settingsDialog().chkFade->isChecked());
    EXPECT_TRUE(generator().settings.output.FadeOn);
    EXPECT_EQ(generator().settings.output.FadeMs, 250);
    EXPECT_EQ(controller->settingsDialog().txtFadeMs->text(), QStringLiteral("250"));

    {
        // A time out of range in the store.
        SettingsStore store = SettingsStore::openForWriting();
        store.writeInteger("FadeMs", 0);
        store.writeBoolean("FadeOn", false);
        store.close();
    }
    make();
    EXPECT_FALSE(generator().settings.output.FadeOn);
    EXPECT_EQ(generator().settings.output.FadeMs, 10);
}

struct CorrectionCase {
    const char* text;
    int unit;
    const char* fieldAfter;
    double factor;      // NAN: unchanged from the 1.5 % set before
    const char* alert;  // null: hidden
};

TEST_F(OutputSettingsTest, CorrectionFactorRules)
{
    const CorrectionCase cases[] = {
        {"0.051", 0, "0.051", 1.00051, "Frequency correction applied: 0.051 %"},
        {"100", 1, "100", std::pow(2.0, 100.0 / 1200), "Frequency correction applied: 100 cent"},
        {"-", 0, "-", NAN, "Frequency correction applied: - %"},
        {"", 0, "", NAN, "Frequency correction applied:  %"},
        {"abc", 0, "0", 1.0, nullptr},
        {"1,5", 0, "1,5", 1.015, "Frequency correction applied: 1,5 %"},
    };
    for (const CorrectionCase& k : cases) {
        SCOPED_TRACE(k.text);
        TfrmSettings& d = controller->settingsDialog();
        choose(d.cboCorrectionUnits, 0);
        type(d.txtCorrectionFactor, QStringLiteral("1.5"));
        choose(d.cboCorrectionUnits, k.unit);
        type(d.txtCorrectionFactor, QString::fromLatin1(k.text));
        leave(d.txtCorrectionFactor);
        EXPECT_EQ(d.txtCorrectionFactor->text(), QLatin1String(k.fieldAfter));
        const double expected =
            std::isnan(k.factor) ? (k.unit == 1 ? std::pow(2.0, 1.5 / 1200) : 1.015) : k.factor;
        EXPECT_DOUBLE_EQ(generator().settings.output.FrequencyCorrection, expected);
        EXPECT_EQ(w().lblCorrectionAlert->isVisibleTo(window.get()), k.alert != nullptr);
        if (k.alert) {
            EXPECT_EQ(w().lblCorrectionAlert->text(), QLatin1String(k.alert));
        }
    }
}

TEST_F(OutputSettingsTest, SwitchingTheUnitChangesTheFactorAtOnce)
{
    TfrmSettings& d = controller->settingsDialog();
    choose(d.cboCorrectionUnits, 1);
    type(d.txtCorrectionFactor, QStringLiteral("100"));
    choose(d.cboCorrectionUnits, 0);
    EXPECT_DOUBLE_EQ(generator().settings.output.FrequencyCorrection, 2.0);
}

TEST_F(OutputSettingsTest, ARateChangeStopsTheGeneratorAndBringsFrequenciesDownToHalfTheRate)
{
    choose(w().cboChannels, 1);
    click(ch(Channel::Left).chkSweep);
    type(ch(Channel::Left).fFinal, QStringLiteral("10000"));
    type(ch(Channel::Right).fInit, QStringLiteral("3999.5"));
    click(w().btnON);
    pump();
    ASSERT_TRUE(controller->switching().GeneratorRunning());

    TfrmSettings& d = controller->settingsDialog();
    choose(d.cboFsList, 0);
    pump();
    EXPECT_FALSE(controller->switching().GeneratorRunning());
    EXPECT_EQ(ch(Channel::Left).fFinal->text(), QStringLiteral("4000"));
    EXPECT_EQ(generator().settings[Channel::Left].fFinal, "4000");
    EXPECT_EQ(ch(Channel::Left).fInit->text(), QStringLiteral("100"));
    EXPECT_EQ(ch(Channel::Right).fInit->text(), QStringLiteral("3999.5"));
    EXPECT_EQ(w().lblFS->text(), QStringLiteral("fs=8kHz"));
    EXPECT_TRUE(notices.errors.empty());
    EXPECT_EQ(notices.notices.size(), 1u); // the welcome question only: no Nyquist notice

    choose(d.cboFsList, 1);
    EXPECT_EQ(w().lblFS->text(), QStringLiteral("fs=11.025kHz"));
}

TEST_F(OutputSettingsTest, BufferAndQuantisationChangesSwitchOffFirst)
{
    TfrmSettings& d = controller->settingsDialog();
    for (QComboBox* list : {d.cboQuant, d.cboBuffers, d.cboBufferSize}) {
        click(w().btnON);
        pump();
        ASSERT_TRUE(controller->switching().GeneratorRunning());
        choose(list, 1);
        pump();
        EXPECT_FALSE(controller->switching().GeneratorRunning()) << list->objectName().toStdString();
    }
    EXPECT_EQ(generator().settings.output.Quantisation, 24);
    EXPECT_EQ(generator().settings.output.Buffers, 3);
    EXPECT_EQ(generator().settings.output.BufferSize, 4096);
    click(w().btnON);
    pump();
    EXPECT_EQ(device->openedFormat().bitsPerSample, 24);
}

TEST_F(OutputSettingsTest, OpeningFromTheMenuOrTheLabelsStopsTheGenerator)
{
    for (QObject* opener : {static_cast<QObject*>(window->menu().Compatibilitysettings1),
                            static_cast<QObject*>(w().lblFS)}) {
        click(w().btnON);
        pump();
        if (auto* item = qobject_cast<QAction*>(opener)) {
            item->trigger();
        } else {
            QMouseEvent release(QEvent::MouseButtonRelease, QPointF(2, 2), QPointF(2, 2), Qt::LeftButton,
                                Qt::NoButton, Qt::NoModifier);
            QCoreApplication::sendEvent(opener, &release);
        }
        pump();
        EXPECT_FALSE(controller->switching().GeneratorRunning());
        EXPECT_TRUE(controller->settingsDialog().isVisible());
        controller->settingsDialog().close();
    }
}

TEST_F(OutputSettingsTest, TheScreensaverIsHeldOffOnlyWhilePlaying)
{
    click(w().btnON);
    pump();
    EXPECT_TRUE(controller->screensaver().active());
    click(w().btnOFF);
    pump();
    EXPECT_FALSE(controller->screensaver().active());
    controller->settingsDialog().chkDisableSS->setChecked(false);
    click(w().btnON);
    pump();
    EXPECT_FALSE(controller->screensaver().active());
}

} // namespace
} // namespace velmora::ui::test
