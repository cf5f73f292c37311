// The frequency display wired to the window: what it reads out while the fake device plays,
// its size by channel layout, and its menu item.
#include "window_harness.h"
#include "user_input.h"

#include "ui/dialogs/output_settings_dialog.h"
#include "ui/frequency_display/frequency_display.h"
#include "ui/frequency_display/frequency_text.h"
#include "ui/widgets/picture_combo_box.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

#include <cmath>
#include <functional>
#include <numbers>

namespace velmora::ui::test {
namespace {

class FrequencyDisplayTest : public WindowHarness {
protected:
    TfrmFrequencyDisplay& display() { return controller->frequencyDisplay(); }
    QString shown() { return display().lblDisplay->text(); }
    TfrmSettings& output() { return controller->settingsDialog(); }
    void rate(const char* hz) { choose(output().cboFsList, output().cboFsList->findText(QLatin1String(hz))); }
    double producing(Channel c) { return generator().samplingRate() * generator()[c].Step / (2 * std::numbers::pi); }
};

TEST_F(FrequencyDisplayTest, ShowsTheFrequencyAskedForWithTheCorrectionDividedOut)
{
    rate("44100");
    type(output().txtCorrectionFactor, QStringLiteral("1"));
    type(ch(Channel::Left).fInit, QStringLiteral("1000"));
    click(w().btnON);
    pump();
    playQueued();
    EXPECT_NEAR(producing(Channel::Left), 1010.0, 1e-6);
    EXPECT_EQ(shown(), QStringLiteral("1000 Hz"));

    // The sound itself runs at 1010 Hz: count its rising zero crossings over 1 s.
    click(w().btnOFF);
    pump();
    device->clearPlayed();
    click(w().btnON);
    pump();
    while (device->played().size() < 44100 * 2 + 8) playQueued();
    const auto& bytes = device->played();
    int rising = 0;
    int16_t previous = 0;
    for (size_t i = 0; i < 44100; ++i) {
        const auto sample = static_cast<int16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
        if (i > 0 && previous < 0 && sample >= 0) ++rising;
        previous = sample;
    }
    EXPECT_NEAR(rising, 1010, 1);
}

TEST_F(FrequencyDisplayTest, ALogarithmicSweepRisesOncePerBuffer)
{
    rate("44100");
    choose(w().cboChannels, 1);
    ch(Channel::Left).chkSweep->setChecked(true);
    click(ch(Channel::Left).Logarithmic);
    // From 1000 Hz, so that each buffer's rise of 1.4 % is more than the display's rounding.
    type(ch(Channel::Left).fInit, QStringLiteral("1000"));
    type(ch(Channel::Left).fFinal, QStringLiteral("20000"));
    type(w().Duration, QStringLiteral("10"));
    click(w().btnON);
    pump();
    std::vector<long> left;
    for (int buffer = 0; buffer < 12; ++buffer) {
        const QString text = shown();
        ASSERT_TRUE(text.startsWith(QLatin1String("L:"))) << text.toStdString();
        left.push_back(text.mid(2, text.indexOf(QLatin1Char(' ')) - 2).toLong());
        ASSERT_EQ(device->complete(1), 1);
        pump();
    }
    for (size_t i = 1; i < left.size(); ++i) EXPECT_GT(left[i], left[i - 1]) << i;
    // 8192-byte buffers of 16-bit stereo hold 2048 frames: the step between two refreshes is
    // the sweep's factor over 2048 frames.
    const double perFrame = std::exp(std::log(20.0) / (441000 - 1));
    EXPECT_NEAR(static_cast<double>(left[8]) / left[7], std::pow(perFrame, 2048), 0.001);
}

TEST_F(FrequencyDisplayTest, TextByLayout)
{
    rate("44100");
    type(ch(Channel::Left).fInit, QStringLiteral("1000"));
    type(ch(Channel::Right).fInit, QStringLiteral("500"));
    click(w().btnON);
    pump();
    EXPECT_EQ(shown(), QStringLiteral("1000 Hz"));
    click(w().btnOFF);
    pump();

    choose(w().cboChannels, 1);
    click(w().btnON);
    pump();
    EXPECT_EQ(shown(), QStringLiteral("L:1000 Hz R:500 Hz"));
    click(w().btnOFF);
    pump();

    click(w().chkAsLeft);
    click(w().btnON);
    pump();
    EXPECT_EQ(shown(), QStringLiteral("L:1000 Hz R:1000 Hz"));
}

TEST_F(FrequencyDisplayTest, RoundsToTheNearestHertz)
{
    Generator g;
    g.settings.output.SamplingRate = 1000;
    const double unit = 2 * std::numbers::pi / 1000; // the step of 1 Hz
    for (const auto& [hz, expected] : {std::pair{2.4, 2}, {3.6, 4}, {1000.4999, 1000}, {19999.51, 20000}, {0.0, 0}}) {
        g[Channel::Left].Step = hz * unit;
        EXPECT_EQ(DisplayedFrequency(g, Channel::Left), expected) << hz;
    }
    g.settings.output.FrequencyCorrection = 0; // no number: the fill must not fail on it
    EXPECT_EQ(FrequencyDisplayText(g, true), "0 Hz");
}

// Switched off, the display reads what ON would play: the frequencies set, at the rate set,
// whatever the oscillators made last. Switched on, what plays; switched off again, the start
// frequency once more.
TEST_F(FrequencyDisplayTest, OffItShowsWhatOnWouldPlay)
{
    rate("11025");
    choose(w().cboChannels, 1);
    type(ch(Channel::Left).fInit, QStringLiteral("1000"));
    type(ch(Channel::Right).fInit, QStringLiteral("100"));
    click(w().btnON);
    pump();
    click(w().btnOFF);
    pump();
    EXPECT_EQ(shown(), QStringLiteral("L:1000 Hz R:100 Hz"));

    struct Case {
        const char* what;
        std::function<void()> change;
        const char* expected;
    };
    const Case cases[] = {
        {"a new rate", [&] { rate("48000"); }, "L:1000 Hz R:100 Hz"},
        {"a constant frequency typed", [&] { type(ch(Channel::Left).fInit, QStringLiteral("440")); },
         "L:440 Hz R:100 Hz"},
        {"a frequency by message", [&] { controller->binding().run([&] { generator().setText({Field::fInit, Channel::Right}, "1234.56"); }); },
         "L:440 Hz R:1235 Hz"},
        {"a correction", [&] { type(output().txtCorrectionFactor, QStringLiteral("1")); }, "L:440 Hz R:1235 Hz"},
        {"a sweep", [&] { click(ch(Channel::Left).chkSweep); }, "L:440 Hz R:1235 Hz"},
    };
    for (const Case& k : cases) {
        k.change();
        EXPECT_EQ(shown(), QLatin1String(k.expected)) << k.what;
    }

    // On: the oscillators, a sweep moving away from its start; off: the start again.
    type(ch(Channel::Left).fFinal, QStringLiteral("10000"));
    type(w().Duration, QStringLiteral("1"));
    click(w().btnON);
    pump();
    for (int i = 0; i < 6; ++i) {
        ASSERT_EQ(device->complete(1), 1);
        pump();
    }
    const QString playing = shown();

    EXPECT_GT(playing.mid(2, playing.indexOf(QLatin1Char(' ')) - 2).toLong(), 460) << playing.toStdString();
    EXPECT_TRUE(playing.endsWith(QLatin1String("R:1235 Hz"))) << playing.toStdString();
    click(w().btnOFF);
    pump();
    EXPECT_EQ(shown(), QStringLiteral("L:440 Hz R:1235 Hz"));
}

TEST_F(FrequencyDisplayTest, KeepsItsAspectAndFitsTheScreen)
{
    const int screenWidth = display().screen()->geometry().width();
    ASSERT_GE(screenWidth, 1200) << "the tests' screen is too narrow";
    display().setShown(true);
    display().resize(600, 100);
    EXPECT_EQ(display().size(), QSize(600, 100));
    choose(w().cboChannels, 1); // the layout change resizes the display
    EXPECT_EQ(display().size(), QSize(1200, 100));
    EXPECT_EQ(display().maximumHeight(), screenWidth / 12);
    choose(w().cboChannels, 0);
    EXPECT_EQ(display().size(), QSize(600, 100));
    EXPECT_EQ(display().maximumHeight(), screenWidth / 6);

    // Too tall for the screen in stereo: as high as fits, as wide as the screen at most.
    display().resize(2000, 300);
    choose(w().cboChannels, 1);
    EXPECT_EQ(display().height(), screenWidth / 12);
    EXPECT_LE(display().width(), screenWidth);
    EXPECT_EQ(display().width(), 12 * (screenWidth / 12));

    // The digits fill the height.
    const QFontMetrics digits(display().lblDisplay->font());
    EXPECT_NEAR(digits.height(), display().height(), 2);
    EXPECT_EQ(display().lblDisplay->geometry(), display().rect());
}

TEST_F(FrequencyDisplayTest, TheMenuItemShowsAndClosingHides)
{
    QAction* item = window->menu().FrequencyDisplay1;
    EXPECT_TRUE(item->isCheckable());
    EXPECT_FALSE(item->isChecked());
    EXPECT_FALSE(display().isVisible());
    EXPECT_EQ(display().windowTitle(), QStringLiteral("Frequency"));

    item->trigger();
    EXPECT_TRUE(item->isChecked());
    EXPECT_TRUE(display().isVisible());
    display().move(140, 90);
    const QRect placement = display().placement();

    display().close();
    EXPECT_FALSE(item->isChecked());
    EXPECT_FALSE(display().isVisible());

    item->trigger();
    EXPECT_TRUE(item->isChecked());
    EXPECT_TRUE(display().isVisible());
    EXPECT_EQ(display().placement(), placement);

    item->trigger();
    EXPECT_FALSE(display().isVisible());
}

} // namespace
} // namespace velmora::ui::test
