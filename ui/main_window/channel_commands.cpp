#include "ui/main_window/channel_commands.h"

#include "engine/numbers.h"
#include "ui/main_window/control_binding.h"
#include "ui/main_window/generator_window.h"

#include <QComboBox>

#include <cmath>

namespace velmora::ui {

void ChannelCommands::stepHertz(Channel c, int direction)
{
    const Control start{Field::fInit, c};
    try {
        double x;
        if (!TryIntlStrToFloat(generator_.text(start), x)) return;
        const double half = generator_.samplingRate() / 2;
        if (direction > 0 && x < half) generator_.setText(start, NumberToText(x + 1));
        if (direction < 0 && x > 0) generator_.setText(start, NumberToText(x - 1));
    } catch (...) {
        // The buttons never report anything; the field shows what they did.
    }
}

void ChannelCommands::semitone(Channel c, bool up)
{
    binding_.run([&] {
        const Control start{Field::fInit, c};
        const double r = std::pow(2.0, 1.0 / 12);
        const double x = IntlStrToFloat(generator_.text(start));
        const double f = up ? x * r : x / r;
        if (!(f < generator_.samplingRate() / 2)) return;
        generator_.setText(start, NumberToText(f));
        if (c == Channel::Left) generator_.FrequencyExit(c, Field::fInit); // the right keeps 15 digits
    });
}

void ChannelCommands::copySettingsFrom(Channel source)
{
    binding_.run([&] { generator_.CopySettingsFrom(source); });
}

void ChannelCommands::reset()
{
    binding_.run([&] {
        Generator& g = generator_;
        for (Channel c : kChannels) {
            g.setChecked({Field::chkConstant, c}, true);
            g.setChecked({Field::Logarithmic, c}, true);
            g.setChecked({Field::Bidirectional, c}, false);
            g.setPosition({Field::barAmplitude, c}, 0);
            g.setChecked({Field::ModulationOn, c}, false);
            g.setIndex({Field::WaveForm, c}, kSine);
            g.WaveFormChange(c);
        }
        g.setText({Field::Duration}, "10");
        g.DurationExit();
        g.setChecked({Field::Loop}, false);
        g.setIndex({Field::cboChannels}, 0);
        g.cboChannelsChange();
        for (Channel c : kChannels) {
            g.setText({Field::ModPeriodEdit, c}, "1");
            g.setText({Field::ModDepthEdit, c}, "100");
            g.setIndex({Field::ModFunction, c}, kModSine);
            g.setText({Field::ModPhaseEdit, c}, "0");
        }
        widgets_.WaveDevice->setCurrentIndex(0); // the device handler does not run
        for (Channel c : kChannels) {
            g.setText({Field::fInit, c}, "1000");
            g.FrequencyExit(c, Field::fInit);
            g.setText({Field::fFinal, c}, "10000");
            g.FrequencyExit(c, Field::fFinal);
            g.FrequencyExit(c, Field::fInit);
            g.fConstChange(c);
            g.ModulationOnClick(c);
        }
    });
}

} // namespace velmora::ui
