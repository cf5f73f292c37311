#include "ui/main_window/channel_commands.h"

#include "engine/numbers.h"
#include "ui/main_window/control_binding.h"
#include "ui/main_window/generator_window.h"

#include <QComboBox>

#include <cmath>
#include <exception>

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
    binding_.run([&] {
        generator_.CopySettingsFrom(source);
        // The copied level is left as "Same as Left" leaves it, so that the slider shows it.
        generator_.AmplitudeExit(other(source));
    });
}

std::string ChannelCommands::reset()
{
    Generator& g = generator_;
    std::string firstFailure;
    // Each step runs whatever the one before met: the reset ends with every value its own.
    const auto step = [&](const std::function<void()>& work) {
        try {
            work();
        } catch (const std::exception& e) {
            if (firstFailure.empty()) firstFailure = e.what();
        }
    };
    for (Channel c : kChannels) {
        step([&] { g.setChecked({Field::chkConstant, c}, true); });
        step([&] { g.setChecked({Field::Logarithmic, c}, true); });
        step([&] { g.setChecked({Field::Bidirectional, c}, false); });
        // The slider may already stand at 0 while its field holds another level (a restored
        // store, a level typed but not left): its handler then would not run, so it runs here.
        step([&] {
            g.setPosition({Field::barAmplitude, c}, 0);
            g.barAmplitudeChange(c);
        });
        step([&] { g.setChecked({Field::ModulationOn, c}, false); });
        step([&] {
            g.setIndex({Field::WaveForm, c}, kSine);
            g.WaveFormChange(c);
        });
    }
    // Leaving Duration checks both start frequencies, which the last steps set anew.
    step([&] { g.setText({Field::Duration}, "10"); });
    step([&] { g.DurationExit(); });
    step([&] { g.setChecked({Field::Loop}, false); });
    step([&] {
        g.setIndex({Field::cboChannels}, 0);
        g.cboChannelsChange();
    });
    for (Channel c : kChannels) {
        step([&] { g.setText({Field::ModPeriodEdit, c}, "1"); });
        step([&] { g.setText({Field::ModDepthEdit, c}, "100"); });
        step([&] { g.setIndex({Field::ModFunction, c}, kModSine); });
        step([&] { g.setText({Field::ModPhaseEdit, c}, "0"); });
    }
    widgets_.WaveDevice->setCurrentIndex(0); // the device handler does not run
    // Half the rate the next start plays at, as showing the slider window sets it.
    if (setSliderRange) setSliderRange("20", std::to_string(g.settings.output.SamplingRate / 2));
    // The reset's own values from here on: a failure now is one the user must see.
    for (Channel c : kChannels) {
        binding_.run([&] {
            g.setText({Field::fInit, c}, "1000");
            g.FrequencyExit(c, Field::fInit);
            g.setText({Field::fFinal, c}, "10000");
            g.FrequencyExit(c, Field::fFinal);
            g.FrequencyExit(c, Field::fInit);
            g.fConstChange(c);
            g.ModulationOnClick(c);
        });
    }
    return firstFailure;
}

} // namespace velmora::ui
